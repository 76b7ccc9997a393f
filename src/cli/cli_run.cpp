#include "cli/cli_run.h"

#include <tbb/task_arena.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <system_error>
#include <thread>
#include <utility>

#include "cli/cli_depfile.h"
#include "cli/cli_job.h"
#include "cli/cli_manifest.h"
#include "imagefiles/image_file.h"
#include "imagefiles/qt_image_codec.h"

namespace tintora::cli {

namespace fs = std::filesystem;

namespace {

bool IsDirectory(const std::string& path) {
    std::error_code ignored;
    return fs::is_directory(path, ignored);
}

// The image files directly inside directory, sorted by name.
std::vector<std::string> ImagesIn(const std::string& directory) {
    std::vector<std::string> files;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(directory, error)) {
        std::error_code ignored;
        if (entry.is_regular_file(ignored) &&
            HasImageFileEnding(entry.path().filename().string())) {
            files.push_back(entry.path().string());
        }
    }
    if (error) throw UsageError("cannot list \"" + directory + "\": " + error.message());
    std::sort(files.begin(), files.end());
    return files;
}

std::string FailureText(const std::string& fileName, std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return NamingFile("", fileName, "not enough memory");
    } catch (const std::exception& error) {
        return NamingFile("", fileName, error.what());
    } catch (...) {
        return NamingFile("", fileName, "unknown error");
    }
}

// Progress, warnings and errors from all workers, one line at a time.
class Reporter {
  public:
    Reporter(std::ostream& out, std::ostream& err, bool terminal, bool quiet, std::size_t total)
        : out_(out), err_(err), terminal_(terminal), quiet_(quiet), total_(total) {}

    void Warning(const std::string& text) {
        const std::lock_guard lock(mutex_);
        ClearBar();
        err_ << "tintora-cli: warning: " << text << '\n' << std::flush;
        DrawBar();
    }

    void Finished(const FileJob& job, const std::string* error) {
        const std::lock_guard lock(mutex_);
        ++done_;
        if (error) ++failed_;
        ClearBar();
        if (error) err_ << "tintora-cli: " << *error << '\n' << std::flush;
        if (!quiet_ && !terminal_) {
            out_ << '[' << done_ << '/' << total_ << "] " << job.input
                 << (error ? " failed" : " -> " + job.output) << '\n'
                 << std::flush;
        }
        last_ = job.input;
        DrawBar();
    }

    void Summary(double seconds) {
        const std::lock_guard lock(mutex_);
        ClearBar();
        if (quiet_) return;
        char time[32];
        std::snprintf(time, sizeof time, "%.2f", seconds);
        out_ << total_ << (total_ == 1 ? " file: " : " files: ") << (done_ - failed_)
             << " written, " << failed_ << " failed, " << time << " s\n"
             << std::flush;
    }

    std::size_t failed() const {
        const std::lock_guard lock(mutex_);
        return failed_;
    }

  private:
    void ClearBar() {
        if (barShown_) out_ << "\r\033[K" << std::flush;
        barShown_ = false;
    }
    void DrawBar() {
        if (quiet_ || !terminal_ || total_ == 0) return;
        constexpr std::size_t kWidth = 30;
        const std::size_t filled = done_ * kWidth / total_;
        std::string name = last_.size() > 40 ? "..." + last_.substr(last_.size() - 37) : last_;
        out_ << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] "
             << done_ << '/' << total_ << ' ' << name << "\033[K" << std::flush;
        barShown_ = true;
    }

    std::ostream& out_;
    std::ostream& err_;
    const bool terminal_;
    const bool quiet_;
    const std::size_t total_;
    mutable std::mutex mutex_;
    std::size_t done_ = 0;
    std::size_t failed_ = 0;
    std::string last_;
    bool barShown_ = false;
};

// Puts the workers' staged files in place on threads of its own (StagedFile::Commit waits for the
// disk), so a worker goes on to its next file meanwhile, and reports each file once it is in place
// or has failed. At most `limit` files wait: open descriptors, no pixels, so memory stays that of
// the jobs in flight; a worker that finds the queue full waits for room.
class Committer {
  public:
    Committer(Reporter& reporter, std::size_t threads, std::size_t limit)
        : reporter_(reporter), limit_(limit) {
        for (std::size_t t = 0; t < threads; ++t)
            threads_.emplace_back([this] { Run(); });
    }
    // Commits what still waits, then returns.
    ~Committer() {
        {
            const std::lock_guard lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        for (std::thread& thread : threads_)
            thread.join();
    }
    Committer(const Committer&) = delete;
    Committer& operator=(const Committer&) = delete;

    // depfile, when given, is put in place after file (CommitWithDepfile).
    void Add(const FileJob& job, StagedFile file, std::optional<StagedFile> depfile) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return waiting_.size() < limit_; });
        waiting_.push_back({&job, std::move(file), std::move(depfile)});
        lock.unlock();
        changed_.notify_all();
    }

  private:
    void Run() {
        for (;;) {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] { return closing_ || !waiting_.empty(); });
            if (waiting_.empty()) return;
            Waiting next = std::move(waiting_.front());
            waiting_.pop_front();
            lock.unlock();
            changed_.notify_all();
            const FileJob* job = next.job;
            try {
                if (next.depfile) {
                    CommitWithDepfile(next.file, *next.depfile);
                } else {
                    next.file.Commit();
                }
                reporter_.Finished(*job, nullptr);
            } catch (...) {
                const std::string text = FailureText(job->input, std::current_exception());
                reporter_.Finished(*job, &text);
            }
        }
    }

    Reporter& reporter_;
    const std::size_t limit_;
    std::mutex mutex_;
    std::condition_variable changed_;
    struct Waiting {
        const FileJob* job;
        StagedFile file;
        std::optional<StagedFile> depfile;
    };
    std::deque<Waiting> waiting_;
    bool closing_ = false;
    std::vector<std::thread> threads_;
};

// --print-jobs: each job's output, input and arguments, a line each, separated by tabs.
void PrintJobs(const CommandLine& line, std::ostream& out) {
    const RunPlan plan = MakeRunPlan(line);
    std::string text;
    for (const FileJob& job : plan.jobs) {
        std::vector<std::string> fields{job.output, job.input};
        for (const std::string& argument : plan.settings[job.settings].fileArguments) {
            if (argument.rfind("--threads=", 0) != 0) fields.push_back(argument);
        }
        if (line.threads > 0) fields.push_back("--threads=" + std::to_string(line.threads));
        for (const std::string& field : fields) {
            if (field.find_first_of("\t\n") != std::string::npos) {
                throw UsageError("--print-jobs cannot list " + QuotedName(field) +
                                 ": it holds a tab or a line break");
            }
            text += field + (&field == &fields.back() ? "\n" : "\t");
        }
    }
    out << text << std::flush;
}

}  // namespace

RunPlan MakeRunPlan(const CommandLine& line) {
    RunPlan plan;
    plan.settings.push_back(line);
    const bool anyDirectory =
        std::any_of(line.inputs.begin(), line.inputs.end(),
                    [](const std::string& input) { return IsDirectory(input); });
    plan.outputIsDirectory = !line.manifest.empty() || line.inputs.size() > 1 || anyDirectory ||
                             IsDirectory(line.output) || line.output.back() == '/';

    if (!plan.outputIsDirectory) {
        const OutputFormat format = line.format ? *line.format : FormatFromOutputName(line.output);
        CheckOutputEnding(line.output, format);
        CheckDdsOptions(line.dds, format);
        plan.jobs.push_back({line.inputs.front(), line.output, format, 0});
        if (!line.depfile.empty()) {
            std::vector<std::string> read{line.inputs.front()};
            for (const Operation& op : line.operations) {
                if (op.kind == OperationKind::AlphaFromFile &&
                    std::find(read.begin(), read.end(), op.text) == read.end()) {
                    read.push_back(op.text);
                }
            }
            plan.depfileText = DepfileText(line.output, read);
        }
        return plan;
    }

    if (!line.depfile.empty()) {
        throw UsageError(
            "--depfile needs one input file and one output file (a build runs "
            "tintora-cli once for each texture)");
    }
    if (!line.inputs.empty()) {
        if (!line.format) {
            throw UsageError("--format is needed when OUTPUT is a directory (\"" + line.output +
                             "\")");
        }
        CheckDdsOptions(line.dds, *line.format);
    }
    std::error_code ignored;
    if (fs::exists(line.output, ignored) && !IsDirectory(line.output)) {
        throw UsageError(QuotedName(line.output) + " must be a directory: it receives " +
                         (!line.manifest.empty() ? "the files of a manifest"
                          : anyDirectory         ? "the files of a directory"
                                                 : "several files"));
    }
    std::map<std::string, std::string> inputOf;  // output -> the input that writes it
    const auto add = [&](const std::string& input, OutputFormat format, std::size_t settings) {
        fs::path name = fs::path(input).filename();
        name.replace_extension(FormatEnding(format));
        const std::string output = (fs::path(line.output) / name).string();
        const auto [place, added] = inputOf.emplace(output, input);
        if (!added) {
            throw UsageError(QuotedName(place->second) + " and " + QuotedName(input) +
                             " would both be written to " + QuotedName(output));
        }
        plan.jobs.push_back({input, output, format, settings});
    };
    for (const std::string& input : line.inputs) {
        const std::vector<std::string> files =
            IsDirectory(input) ? ImagesIn(input) : std::vector<std::string>{input};
        for (const std::string& file : files)
            add(file, *line.format, 0);
    }
    if (line.manifest.empty()) return plan;
    for (const ManifestEntry& entry : ReadManifest(line.manifest)) {
        try {
            // The command line's file options, then the line's: a later --format counts. The
            // command line's --threads is the run's, which a manifest line may not set: it is
            // left out here and given to every line.
            std::vector<std::string> arguments;
            for (const std::string& argument : line.fileArguments) {
                if (argument.rfind("--threads=", 0) != 0) arguments.push_back(argument);
            }
            const std::vector<std::string>& own = entry.options.fileArguments;
            arguments.insert(arguments.end(), own.begin(), own.end());
            arguments.push_back("--");
            arguments.push_back(entry.options.inputs.front());
            CommandLine settings = ParseManifestArguments(arguments, "");
            settings.threads = line.threads;
            if (!settings.format) {
                throw UsageError("--format is needed, on the line or the command line");
            }
            CheckDdsOptions(settings.dds, *settings.format);
            plan.settings.push_back(settings);
            add(settings.inputs.front(), *settings.format, plan.settings.size() - 1);
        } catch (const UsageError& error) {
            throw UsageError(entry.place + ": " + error.what());
        }
    }
    return plan;
}

int RunCommandLine(const CommandLine& line, std::ostream& out, std::ostream& err, bool terminal) {
    const auto start = std::chrono::steady_clock::now();
    const RunPlan plan = MakeRunPlan(line);

    if (plan.outputIsDirectory) {
        std::error_code error;
        fs::create_directories(line.output, error);
        if (error) {
            err << "tintora-cli: cannot make the directory \"" << line.output
                << "\": " << error.message() << '\n';
            return kExitFileFailed;
        }
    }

    // The images every file takes an alpha from, loaded once before any file is written.
    std::unique_ptr<SourceImages> sources;
    try {
        std::vector<Operation> operations;
        for (const CommandLine& settings : plan.settings)
            operations.insert(operations.end(), settings.operations.begin(),
                              settings.operations.end());
        const std::shared_ptr<Device> device = MakeWorkerDevice();
        sources = std::make_unique<SourceImages>(*device, operations);
    } catch (...) {
        // The load's messages name the file.
        err << "tintora-cli: " << FailureText("", std::current_exception()) << '\n';
        return kExitFileFailed;
    }

    Reporter reporter(out, err, terminal, line.quiet, plan.jobs.size());
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t jobs = line.jobs > 0 ? static_cast<std::size_t>(line.jobs) : cores;
    const std::size_t workers = std::min(jobs, plan.jobs.size());
    // Each file's own parallel loops get the cores the other workers leave: all of them for a
    // single file, one each when there are as many files in flight as cores, so that small files
    // run whole on their worker's thread instead of being split across busy cores.
    const int threadsPerFile =
        line.threads > 0
            ? line.threads
            : static_cast<int>(std::max<std::size_t>(1, cores / std::max<std::size_t>(1, workers)));
    // Committing waits on the disk, not the processor: enough threads that the flushes overlap
    // (the file system then commits them together).
    auto committer = std::make_unique<Committer>(
        reporter, std::min(plan.jobs.size(), std::max<std::size_t>(4, 2 * workers)),
        4 * workers + 4);

    std::atomic<std::size_t> next{0};
    const auto work = [&] {
        tbb::task_arena arena(threadsPerFile);
        std::shared_ptr<Device> device;
        std::exception_ptr deviceFailure;
        try {
            device = MakeWorkerDevice();
        } catch (...) {
            deviceFailure = std::current_exception();
        }
        for (std::size_t i = next++; i < plan.jobs.size(); i = next++) {
            const FileJob& job = plan.jobs[i];
            const CommandLine& settings = plan.settings[job.settings];
            std::exception_ptr failure = deviceFailure;
            if (!failure) {
                try {
                    StagedFile file = arena.execute([&] {
                        return ProcessFile(
                            *device, job.input, job.output, settings.operations, *sources,
                            job.format, settings.dds,
                            [&reporter](const std::string& text) { reporter.Warning(text); });
                    });
                    std::optional<StagedFile> depfile;
                    if (!line.depfile.empty()) {
                        FileParts text;
                        text.AddView(
                            {reinterpret_cast<const std::uint8_t*>(plan.depfileText.data()),
                             plan.depfileText.size()});
                        depfile.emplace(line.depfile, text);
                    }
                    committer->Add(job, std::move(file), std::move(depfile));
                } catch (...) {
                    failure = std::current_exception();
                }
            }
            if (failure) {
                const std::string text = FailureText(job.input, failure);
                reporter.Finished(job, &text);
            }
        }
    };
    std::vector<std::thread> threads;
    for (std::size_t w = 1; w < workers; ++w)
        threads.emplace_back(work);
    if (workers > 0) work();
    for (std::thread& thread : threads)
        thread.join();
    committer.reset();  // every file in place or failed

    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    reporter.Summary(elapsed.count());
    return reporter.failed() > 0 ? kExitFileFailed : kExitSuccess;
}

int RunTintoraCli(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                  bool terminal) {
    // Before any worker decodes a file through Qt (see LoadImagePlugins).
    LoadImagePlugins();
    try {
        const CommandLine line = ParseCommandLine(arguments);
        if (line.help) {
            out << UsageText();
            return kExitSuccess;
        }
        if (line.version) {
            out << "tintora-cli " << TINTORA_VERSION << '\n';
            return kExitSuccess;
        }
        if (line.printJobs) {
            PrintJobs(line, out);
            return kExitSuccess;
        }
        return RunCommandLine(line, out, err, terminal);
    } catch (const UsageError& error) {
        err << "tintora-cli: " << error.what() << "\n"
            << "Try 'tintora-cli --help' for more information.\n";
        return kExitUsage;
    }
}

}  // namespace tintora::cli
