// The grammar rebuild of a phonebook of 2,000 contacts, one member per suite
// message on the real "VR" loop, against the scripted engine: the cost of a
// member step (message, entry, word activation, member addition) is the
// rebuild's time over the number of contacts.
#include "core/constraints/dvk_constraints.h"
#include "core/vre/dvk_vre.h"
#include "sdk/common/dvk_file.h"
#include "sdk/common/dvk_mem.h"
#include "src/QrvSemaphore.h"
#include "src/QrvWorkQueues.h"
#include "tests/core/vre/fake_brevit/fake_brevit.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

std::vector<std::u16string> s_contacts;
QrvSemaphore* s_finished = nullptr;
int s_failures = 0;

dvk_constraints_Iterator firstContact(dvk_constraints_WordClass*)
{
    return s_contacts.empty() ? 0 : 1;
}

dvk_constraints_Iterator nextContact(dvk_constraints_WordClass*, dvk_constraints_Iterator it)
{
    return static_cast<size_t>(it) < s_contacts.size() ? it + 1 : 0;
}

void contactEntry(dvk_constraints_WordClass*, dvk_string_Table*, dvk_constraints_Iterator it, dvk_ucs2_Char** surface,
                  dvk_ucs2_Char** spoken)
{
    const std::u16string& name = s_contacts[static_cast<size_t>(it - 1)];
    auto* copy = static_cast<dvk_ucs2_Char*>(dvk_mem_alloc(2 * (name.size() + 1)));
    if (copy != nullptr) {
        std::copy(name.begin(), name.end(), copy);
        copy[name.size()] = 0;
    }
    *surface = copy;
    *spoken = nullptr;
}

void freeContact(dvk_constraints_WordClass*, dvk_ucs2_Char** surface, dvk_ucs2_Char** spoken)
{
    dvk_mem_dealloc(surface);
    dvk_mem_dealloc(spoken);
}

void onDone()
{
    s_finished->signal();
}

void onError()
{
    ++s_failures;
    s_finished->signal();
}

struct Rebuild {
    dvk_vre_Recognizer* vre;
    dvk_constraints_Constraint** list;
};

void startRebuild(void* data)
{
    auto* rebuild = static_cast<Rebuild*>(data);
    if (dvk_vre_addConstraintSet(rebuild->vre, rebuild->list, onDone, onError) != 0)
        onError();
}

void BM_RebuildContacts(benchmark::State& state)
{
    QrvWorkQueuesInit();
    const int64_t count = state.range(0);
    s_contacts.clear();
    for (int64_t i = 0; i < count; ++i)
        s_contacts.push_back(u"Contact " + std::u16string(1, u'A' + i % 26) + u" " +
                             std::u16string(1, u'a' + (i / 26) % 26) + std::u16string(1, u'a' + i / 676));
    resetFakeBrevit();
    fakeBrevit().modelSets["lvr_enus.bin"] = {};
    dvk_file_Stream* model = dvk_file_fopen("lvr_enus.bin", DVK_OEM_FILE_MODE_WRITE);
    dvk_file_fwrite("model set", 1, 9, model);
    dvk_file_fclose(&model);

    dvk_constraints_WordClass** statics = dvk_constraints_getWordClassList();
    dvk_constraints_WordClass names{};
    names.name = "names";
    names.getFirst = firstContact;
    names.getNext = nextContact;
    names.getEntry = contactEntry;
    names.freeEntry = freeContact;
    names.rebuildAlways = 1;
    names.provider = 1;
    names.key = 20;
    dvk_constraints_WordClass* classes[] = {statics[66], statics[1], &names, nullptr};
    const uint32_t rows[][3] = {{1, 15, 0}, {15, 66, 0}, {0, 0, 0}};  // start -> names -> end
    dvk_constraints_Constraint constraint{};
    constraint.id = -2;
    constraint.name = "names";
    constraint.wordClasses = classes;
    constraint.transitions = rows;
    dvk_constraints_Constraint* list[] = {&constraint, nullptr};

    dvk_vre_Recognizer* vre = nullptr;
    if (dvk_vre_create(&vre, 5, 0, nullptr) != 0) {
        state.SkipWithError("no recogniser");
        return;
    }
    QrvSemaphore finished;
    s_finished = &finished;
    Rebuild rebuild{vre, list};
    for (auto _ : state) {
        fakeBrevit().calls.clear();
        QrvExecuteInVrThread(startRebuild, &rebuild, QRV_THREAD_ALWAYS_POST);
        finished.wait();
    }
    // Seconds per member step, shown with its SI prefix.
    state.counters["per_member"] = benchmark::Counter(static_cast<double>(state.iterations() * count),
                                                      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["failures"] = s_failures;
    dvk_vre_destroy(&vre);
}
BENCHMARK(BM_RebuildContacts)->Arg(2000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
