#include "platform/LongWork.h"

#include <utility>

namespace {

TLongWorkRunner& Runner()
{
    static TLongWorkRunner runner;
    return runner;
}

} // namespace

TLongWorkRunner SetLongWorkRunner(TLongWorkRunner runner) { return std::exchange(Runner(), std::move(runner)); }

void RunLongWork(const std::string& caption, std::int64_t bytes, const std::function<void()>& work)
{
    const TLongWorkRunner& runner = Runner();
    if (runner)
        runner(caption, bytes, work);
    else
        work();
}

std::string FileNameOfPath(const std::string& path) { return path.substr(path.find_last_of("\\/") + 1); }
