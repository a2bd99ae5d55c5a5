// A contact walk's entry work: 2,000 generated persons, each filled by the
// provider (names, numbers filtered and typed) through the person point and
// grouped by the suite under the 17 locations. The contact database's
// paging is not part of it.
#include "oem/dvk_oem_phonebook.h"
#include "oem/dvk_oem_settings.h"
#include "sdk/common/dvk_pbook.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

const int kPersons = 2000;
std::vector<std::shared_ptr<WexObject>> s_persons;
size_t s_current = 0;

int32_t english()
{
    return 5;
}

std::shared_ptr<WexObject> currentPerson(dvk_oem_pbook_ContactIterator)
{
    return s_persons[s_current];
}

void generate()
{
    const char* const types[] = {"type_mobile", "HOME", "WORK", "type_work2", "MAIN", "OTHER"};
    for (int i = 0; i < kPersons; ++i) {
        auto person = std::make_shared<WexObject>(WexObject::object());
        WexObject name = WexObject::object();
        name.put("givenName", "Given" + std::to_string(i));
        name.put("familyName", "Family" + std::to_string(i % 97));
        person->put("name", name);
        WexObject numbers = WexObject::array();
        for (int k = 0; k <= i % 4; ++k) {
            WexObject number = WexObject::object();
            number.put("type", types[(i + k) % 6]);
            number.put("value", "+1 (650) 555-" + std::to_string(1000 + (i * 7 + k) % 9000));
            numbers.append(number);
        }
        person->put("phoneNumbers", numbers);
        s_persons.push_back(person);
    }
}

void BM_ContactWalkEntries(benchmark::State& state)
{
    if (s_persons.empty())
        generate();
    dvkOemPbookSetPersonSource(currentPerson);
    dvkOemSettingsSetLanguageSource(english);
    int64_t numbers = 0;
    for (auto _ : state) {
        for (s_current = 0; s_current < s_persons.size(); ++s_current) {
            dvk_pbook_Entry* entry = dvk_pbook_getEntry(1);
            numbers += dvk_pbook_getCount(entry);
            dvk_pbook_destroyEntry(&entry);
        }
    }
    benchmark::DoNotOptimize(numbers);
    dvkOemPbookSetPersonSource(nullptr);
    state.SetItemsProcessed(state.iterations() * kPersons);
    state.counters["entries/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kPersons),
                                                     benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ContactWalkEntries)->Unit(benchmark::kMillisecond);

} // namespace
