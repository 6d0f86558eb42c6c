#include "roundrobin.h"

#include <algorithm>

#include "interleavedruns.h"

int RoundRobin::add(const std::string &name, std::function<double()> measured)
{
    m_entries.push_back({name, std::move(measured), {}});
    return int(m_entries.size()) - 1;
}

void RoundRobin::run(int rounds)
{
    const int count = int(m_entries.size());
    for (int round = -1; round < rounds; ++round) {
        for (int k = 0; k < count; ++k) {
            Entry &entry = m_entries[size_t((k + std::max(round, 0)) % count)];
            const double seconds = entry.measured();
            if (round >= 0)
                entry.seconds.push_back(seconds);
        }
    }
}

double RoundRobin::median(int index) const
{
    return InterleavedRuns::median(m_entries[size_t(index)].seconds);
}
