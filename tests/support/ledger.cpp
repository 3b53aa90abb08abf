// The ledgers' shared core: patches, live handles and counts.
#include "ledger.h"
#include <cstdio>

Ledger::Ledger(const std::vector<HMODULE>& modules, const ImportReplacement* table, size_t rows, KindName kindName)
    : kindName_(kindName)
{
    for (HMODULE module : modules) {
        for (size_t i = 0; i < rows; ++i) {
            std::unique_ptr<ImportPatch> patch(
                new ImportPatch(module, table[i].dll, table[i].function, table[i].replacement));
            if (!patch->Applied())
                continue;
            patched_.push_back(table[i].function);
            patches_.push_back(std::move(patch));
        }
    }
}

size_t Ledger::Live(int kind) const
{
    size_t count = 0;
    for (const auto& handle : live_)
        for (const Life& life : handle.second)
            count += life.kind == kind;
    return count;
}

size_t Ledger::LiveTotal() const
{
    size_t count = 0;
    for (const auto& handle : live_)
        count += handle.second.size();
    return count;
}

size_t Ledger::Created(int kind) const
{
    auto found = created_.find(kind);
    return found == created_.end() ? 0 : found->second;
}

std::string Ledger::Describe() const
{
    std::string text;
    for (const auto& handle : live_) {
        for (const Life& life : handle.second) {
            char line[128];
            snprintf(line, sizeof line, "%s %p from %s\n", kindName_(life.kind), handle.first.second, life.creator);
            text += line;
        }
    }
    return text.empty() ? "nothing live\n" : text;
}

bool Ledger::Patched(const char* function) const
{
    for (const std::string& name : patched_)
        if (name == function)
            return true;
    return false;
}

int Ledger::Calls(const char* function) const
{
    auto found = calls_.find(function);
    return found == calls_.end() ? 0 : found->second;
}

void Ledger::FailNext(const char* function, int count)
{
    failures_[function] = count;
}

void Ledger::ResetCounts()
{
    created_.clear();
    calls_.clear();
}

bool Ledger::Intercept(const char* function)
{
    ++calls_[function];
    auto found = failures_.find(function);
    if (found == failures_.end() || found->second <= 0)
        return false;
    --found->second;
    return true;
}

void Ledger::Record(int family, const void* handle, int kind, const char* creator)
{
    live_[{family, handle}].push_back(Life{kind, creator});
    ++created_[kind];
}

int Ledger::Forget(int family, const void* handle)
{
    auto found = live_.find({family, handle});
    if (found == live_.end())
        return -1;
    int kind = found->second.back().kind;
    found->second.pop_back();
    if (found->second.empty())
        live_.erase(found);
    return kind;
}
