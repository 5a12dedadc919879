#include "remote/prefetch.h"

#include <wininet.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

#include "common/handles.h"
#include "remote/remote_params.h"
#include "remote/skin_params.h"

namespace {

enum class JobState { kQueued, kRunning, kDone, kTaken };

struct Job {
    StartupImage image;
    JobState state = JobState::kQueued;
    FetchResult fetched;
};

// Made once and never freed: a worker may still be in a download when the
// process ends, and must not find its pool gone. The jobs are in the order
// start-up takes them, so the first one queued is always the next it needs.
struct Pool {
    SRWLOCK lock = SRWLOCK_INIT;
    CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
    std::vector<Job> jobs;  // never resized once the workers run
    int workers = 0;
    bool closed = false;    // no further download starts
    bool finished = false;  // start-up is over: nothing more is taken
};
Pool* pool = nullptr;

DWORD WINAPI Worker(LPVOID) {
    ExclusiveLock guard(&pool->lock);
    for (;;) {
        auto next = std::find_if(pool->jobs.begin(), pool->jobs.end(),
                                 [](const Job& job) { return job.state == JobState::kQueued; });
        if (pool->closed || next == pool->jobs.end()) return 0;
        Job& job = *next;
        job.state = JobState::kRunning;
        ReleaseSRWLockExclusive(&pool->lock);
        FetchResult fetched = FetchUrl(job.image.url);
        AcquireSRWLockExclusive(&pool->lock);
        // Without its skin start-up ends at the error box: no further
        // picture is sent for.
        if (!Accepted(fetched) && std::strcmp(job.image.name, param::kSkin) == 0) pool->closed = true;
        if (pool->finished) {
            // Nobody is coming for it: let it go at once.
            job.state = JobState::kQueued;
        } else {
            job.fetched = std::move(fetched);
            job.state = JobState::kDone;
        }
        WakeAllConditionVariable(&pool->changed);
    }
}

}  // namespace

void PrefetchStartupImages(CRemoteParams& doc) {
    if (pool) return;
    const std::vector<StartupImage> images = StartupImages(doc);
    if (images.empty()) return;
    pool = new (std::nothrow) Pool;
    if (!pool) return;
    // The system's own limit must let every worker have its connection.
    DWORD connections = kConnectionsPerServer;
    InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections, sizeof connections);
    InternetSetOptionA(nullptr, INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER, &connections, sizeof connections);
    for (const StartupImage& image : images) pool->jobs.push_back(Job{image, JobState::kQueued, FetchResult()});
    const int wanted = static_cast<int>(std::min<std::size_t>(kConnectionsPerServer, images.size()));
    for (int i = 0; i < wanted; ++i) {
        // Workers are never waited for; their handles are not kept.
        UniqueKernelHandle thread(CreateThread(nullptr, 0, Worker, nullptr, 0, nullptr));
        if (!thread) break;
        ExclusiveLock guard(&pool->lock);
        ++pool->workers;
    }
}

void StopPrefetch() {
    if (!pool) return;
    ExclusiveLock guard(&pool->lock);
    pool->closed = pool->finished = true;
    for (Job& job : pool->jobs) {
        // A picture not taken goes back to the queue, where only its taker
        // would fetch it.
        if (job.state == JobState::kDone) {
            job.fetched = FetchResult();
            job.state = JobState::kQueued;
        }
    }
    WakeAllConditionVariable(&pool->changed);
}

FetchResult FetchImage(const char* name, const char* url) {
    if (pool) {
        ExclusiveLock guard(&pool->lock);
        for (Job& job : pool->jobs) {
            if (job.state == JobState::kTaken || std::strcmp(job.image.name, name) != 0 ||
                std::strcmp(job.image.url, url) != 0)
                continue;
            // A queued job is the next a worker starts, unless none will.
            while (job.state == JobState::kRunning ||
                   (job.state == JobState::kQueued && pool->workers > 0 && !pool->closed))
                SleepConditionVariableSRW(&pool->changed, &pool->lock, INFINITE, 0);
            const bool arrived = job.state == JobState::kDone;
            job.state = JobState::kTaken;
            if (arrived) return std::move(job.fetched);
            break;
        }
    }
    return FetchUrl(url);
}
