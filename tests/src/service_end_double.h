// Stands in for the service's ending while it lives: counts the closing
// sequences and shut-downs that would have ended the process.
#pragma once

#include "src/QrvServiceEnd.h"

#include <atomic>

class ServiceEndDouble : public QrvServiceEnd {
public:
    ServiceEndDouble() { QrvServiceEnd::set(this); }
    ~ServiceEndDouble() override { QrvServiceEnd::set(nullptr); }
    ServiceEndDouble(const ServiceEndDouble&) = delete;
    ServiceEndDouble& operator=(const ServiceEndDouble&) = delete;

    void closingSequence() override { ++closings; }
    void shutdownStart() override { ++shutdowns; }

    int total() const { return closings.load() + shutdowns.load(); }

    std::atomic<int> closings{0};
    std::atomic<int> shutdowns{0};
};
