#include "file_placer.h"

#include <algorithm>
#include <exception>
#include <system_error>

#include "output_folder.h"

namespace segmora {

FilePlacer::FilePlacer(Report report, size_t maxWaiting)
    : report(std::move(report)), maxWaiting(std::max<size_t>(maxWaiting, 1)) {
    try {
        thread = std::thread(&FilePlacer::run, this);
    } catch (const std::system_error&) {
        // hand() places the files itself
    }
}

FilePlacer::~FilePlacer() {
    finish();
}

void FilePlacer::hand(EndedJob ended) {
    if (!thread.joinable()) {
        std::vector<EndedJob> one;
        one.push_back(std::move(ended));
        place(one);
        return;
    }
    std::unique_lock<std::mutex> guard(lock);
    changed.wait(guard, [&] { return waiting.size() < maxWaiting; });
    waiting.push_back(std::move(ended));
    changed.notify_all();
}

void FilePlacer::finish() {
    if (!thread.joinable()) return;
    {
        std::lock_guard<std::mutex> guard(lock);
        stopping = true;
        changed.notify_all();
    }
    thread.join();
}

void FilePlacer::run() {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
        changed.wait(guard, [&] { return stopping || !waiting.empty(); });
        if (waiting.empty()) return;
        std::vector<EndedJob> jobs(std::make_move_iterator(waiting.begin()),
                                   std::make_move_iterator(waiting.end()));
        waiting.clear();
        changed.notify_all();
        guard.unlock();
        place(jobs);
        guard.lock();
    }
}

namespace {

std::string whatFailed() {
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    }
}

}  // namespace

void FilePlacer::place(std::vector<EndedJob>& jobs) {
    std::vector<const WrittenFile*> lastIn;  // a placed file of each folder written into
    for (EndedJob& ended : jobs) {
        for (WrittenFile& file : ended.files) {
            if (!ended.failure.empty()) break;
            try {
                file.putInPlace();
            } catch (...) {
                ended.failure = whatFailed();
                break;
            }
            const auto same = [&](const WrittenFile* f) { return &f->folder() == &file.folder(); };
            if (std::none_of(lastIn.begin(), lastIn.end(), same)) lastIn.push_back(&file);
        }
    }
    std::vector<std::pair<const OutputFolder*, std::string>> unsynced;
    for (const WrittenFile* file : lastIn) {
        try {
            file->syncFolder();
        } catch (...) {
            unsynced.emplace_back(&file->folder(), whatFailed());
        }
    }
    for (EndedJob& ended : jobs) {
        for (const auto& failed : unsynced) {
            const OutputFolder* folder = failed.first;
            const auto in = [folder](const WrittenFile& f) { return &f.folder() == folder; };
            if (ended.failure.empty() && std::any_of(ended.files.begin(), ended.files.end(), in))
                ended.failure = failed.second;
        }
        report(ended);
    }
}

}  // namespace segmora
