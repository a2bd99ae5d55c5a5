// Label (DA) records for tests: a tree given node by node and a state score
// table, flattened into the tables the model's record is made from. The
// record's own checks (children forward and inside the tree, labels below
// the number of labels) decide what is refused.
//
// Header-only: it calls the engine, which the shared support library does
// not link.
#pragma once

#include "core/brevit/acoustic/am_da.h"

#include <cstdint>
#include <vector>

struct DANodeSpec {
    int16_t label = -1;               // -1: internal
    uint16_t left = 0;
    uint16_t right = 0;
    std::vector<uint8_t> centroid;    // padded with 0 to the dimension
    std::vector<uint16_t> invVar;     // padded with 1 to the dimension
    uint32_t constant = 0;

    static DANodeSpec leaf(int16_t label) { return DANodeSpec{label, 0, 0, {}, {}, 0}; }
    static DANodeSpec internal(uint16_t left, uint16_t right)
    {
        return DANodeSpec{-1, left, right, {}, {}, 0};
    }
    DANodeSpec& at(std::vector<uint8_t> c, std::vector<uint16_t> w = {}, uint32_t k = 0)
    {
        centroid = std::move(c);
        invVar = std::move(w);
        constant = k;
        return *this;
    }
};

struct DARecordSpec {
    uint32_t numLabels = 1;
    uint32_t dimension = 0;
    std::vector<DANodeSpec> nodes;
    // numLabels entries per trained state; 100 x label + state when empty.
    std::vector<int16_t> scores;

    // Made for the model (its trained states give the table rows); null when
    // the record refuses the tables.
    AMDARecord* build(const AM* am) const
    {
        const size_t dim = dimension;
        std::vector<int16_t> labels;
        std::vector<uint16_t> left, right, invVars;
        std::vector<uint8_t> centroids;
        std::vector<uint32_t> constants;
        for (const DANodeSpec& n : nodes) {
            labels.push_back(n.label);
            left.push_back(n.left);
            right.push_back(n.right);
            std::vector<uint8_t> c = n.centroid;
            std::vector<uint16_t> w = n.invVar;
            c.resize(dim, 0);
            w.resize(dim, 1);
            centroids.insert(centroids.end(), c.begin(), c.end());
            invVars.insert(invVars.end(), w.begin(), w.end());
            constants.push_back(n.constant);
        }
        std::vector<int16_t> table = scores;
        if (table.empty())
            for (int32_t s = 0; s < am->numStates; ++s)
                for (uint32_t l = 0; l < numLabels; ++l)
                    table.push_back(static_cast<int16_t>(100 * l + static_cast<uint32_t>(s)));
        table.resize(static_cast<size_t>(numLabels) * static_cast<size_t>(am->numStates), 0);
        AMDATables t{};
        t.numLabels = numLabels;
        t.dimension = dimension;
        t.numNodes = static_cast<uint32_t>(nodes.size());
        t.nodeLabels = labels.data();
        t.left = left.data();
        t.right = right.data();
        t.centroids = centroids.data();
        t.invVars = invVars.data();
        t.constants = constants.data();
        t.scores = table.data();
        return AM_CreateDARecord(am, &t);
    }
};
