#include "link/waits.h"

#include <vector>

namespace {
bool awaitsOneOf(const QString &awaited, QStringView letters) {
    for (QChar letter : letters)
        if (awaited.contains(letter))
            return true;
    return false;
}
} // namespace

void WaitSet::add(std::coroutine_handle<> handle, int ms, const QString &awaited,
                  std::shared_ptr<bool> result) {
    const quint64 key = m_nextKey++;
    Pending pending{handle, 0, awaited, std::move(result)};
    if (ms >= 0)
        pending.timerId = m_time.schedule(ms, [this, key] { finish(key, true); });
    m_entries.emplace(key, std::move(pending));
}

void WaitSet::finish(quint64 key, bool result) {
    auto it = m_entries.find(key);
    if (it == m_entries.end())
        return;
    Pending pending = std::move(it->second);
    m_entries.erase(it);
    if (pending.timerId != 0)
        m_time.cancel(pending.timerId);
    *pending.result = result;
    pending.handle.resume();
}

void WaitSet::finishBefore(quint64 mark, bool result, QStringView letters, bool all) {
    // Only the waits begun before the mark: a procedure resumed here may start a new
    // wait, which must wait for its own time or the next wake.
    std::vector<quint64> keys;
    keys.reserve(m_entries.size());
    for (const auto &entry : m_entries)
        if (entry.first < mark && (!result || all || entry.second.awaited.isEmpty() ||
                                   awaitsOneOf(entry.second.awaited, letters)))
            keys.push_back(entry.first);
    for (quint64 key : keys)
        finish(key, result);
}
