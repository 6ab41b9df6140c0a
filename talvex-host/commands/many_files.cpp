#include "commands/many_files.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <nlohmann/json.hpp>
#include <random>
#include <thread>

#include "io/child_process.h"
#include "io/host_files.h"
#include "io/number_text.h"
#include "io/safe_writer.h"

namespace talvexhost {

namespace {

namespace fs = std::filesystem;
using Json = nlohmann::ordered_json;

// Options that mean something only for a list of files; a file's own
// process is not given them.
const char* const kListOptions[] = {"--recursive", "--include", "--jsonl", "--json", "--plugin"};

bool isListOption(const std::string& option) {
    for (const char* list : kListOptions)
        if (option == list) return true;
    return false;
}

// A folder of the system's temporary folder for the processes' outputs,
// removed with everything in it when done.
class ScratchOutputs {
public:
    bool create(std::string& error) {
        std::error_code ec;
        const fs::path base = fs::temp_directory_path(ec);
        if (ec) {
            error = "no temporary folder (" + ec.message() + ")";
            return false;
        }
        std::random_device random;
        for (int attempt = 0; attempt < 100; ++attempt) {
            const fs::path folder = base / ("talvex-host-" + std::to_string(random()));
            if (fs::create_directory(folder, ec)) {
                folder_ = folder;
                return true;
            }
        }
        error = base.string() + ": cannot make a folder there (" + ec.message() + ")";
        return false;
    }
    ~ScratchOutputs() {
        std::error_code ec;
        if (!folder_.empty()) fs::remove_all(folder_, ec);
    }
    std::string file(std::size_t index, const char* ending) const {
        return (folder_ / (std::to_string(index) + ending)).string();
    }

private:
    fs::path folder_;
};

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

enum class Verdict { kOk, kFailed, kError };

const char* verdictName(Verdict verdict) {
    return verdict == Verdict::kOk ? "ok" : verdict == Verdict::kFailed ? "failed" : "error";
}

// What one file's process gave.
struct FileOutcome {
    int status = -1;
    std::string text;                  // its standard output
    std::vector<std::string> reasons;  // what it said went wrong
    Json report;                       // its JSON report, or null
    Verdict verdict = Verdict::kError;
};

// The lines of `err` that say why the command failed ("talvex-host check:
// REASON"), without that prefix and without its warnings; else its last
// line.
std::vector<std::string> reasonsIn(const std::string& err, const std::string& command) {
    std::vector<std::string> reasons;
    std::string last;
    const std::string own = "talvex-host " + command + ": ";
    const std::string host = "talvex-host: ";
    std::size_t pos = 0;
    while (pos < err.size()) {
        std::size_t end = err.find('\n', pos);
        if (end == std::string::npos) end = err.size();
        std::string line = err.substr(pos, end - pos);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        pos = end + 1;
        if (line.empty()) continue;
        last = line;
        // Warnings ("warning: no OpenGL context") are not why it failed.
        if (line.rfind(own + "warning: ", 0) == 0 || line.rfind(host + "warning: ", 0) == 0)
            continue;
        if (line.rfind(own, 0) == 0)
            reasons.push_back(line.substr(own.size()));
        else if (line.rfind(host, 0) == 0)
            reasons.push_back(line.substr(host.size()));
    }
    if (reasons.empty() && !last.empty()) reasons.push_back(last);
    return reasons;
}

// The command line of one file's process: the options given, less the list's
// own, with its JSON report to `json` when the command writes one.
std::vector<std::string> fileArguments(const CommandSpec& spec, const CommandArgs& args,
                                       const std::string& file, const std::string& json) {
    std::vector<std::string> out = {spec.name};
    for (const auto& option : args.values) {
        if (isListOption(option.first)) continue;
        out.push_back(option.first);
        out.push_back(option.second);
    }
    for (const std::string& flag : args.flags)
        if (!isListOption(flag)) out.push_back(flag);
    if (spec.loadsPlugin) {
        out.push_back("--plugin");
        out.push_back(args.plugin);
    }
    if (!json.empty()) {
        out.push_back("--json");
        out.push_back(json);
    }
    out.push_back("--");
    out.push_back(file);
    return out;
}

FileOutcome runOne(const std::string& program, const CommandSpec& spec, const CommandArgs& args,
                   const ListedFile& file, const ScratchOutputs& scratch, std::size_t index,
                   bool writesJson) {
    FileOutcome outcome;
    if (!file.error.empty()) {
        outcome.reasons.push_back(file.error);
        return outcome;
    }
    const std::string json = writesJson ? scratch.file(index, ".json") : "";
    const std::string out = scratch.file(index, ".out");
    const std::string err = scratch.file(index, ".err");
    std::string error;
    outcome.status =
        runChildProcess(program, fileArguments(spec, args, file.path, json), out, err, error);
    outcome.text = fileText(out);
    outcome.reasons = reasonsIn(fileText(err), spec.name);
    if (outcome.status < 0) outcome.reasons.push_back(error);
    if (writesJson) {
        const std::string report = fileText(json);
        if (!report.empty()) outcome.report = Json::parse(report, nullptr, false);
        if (outcome.report.is_discarded()) outcome.report = nullptr;
    }
    if (outcome.status == kExitOk)
        outcome.verdict = Verdict::kOk;
    else if (outcome.status == kExitFailure && !outcome.report.is_null())
        outcome.verdict = Verdict::kFailed;  // read and judged: a --fail-* held, no plane
    return outcome;
}

Json outcomeJson(const ListedFile& file, const FileOutcome& outcome) {
    return Json{{"file", file.path},
                {"verdict", verdictName(outcome.verdict)},
                {"exitStatus", outcome.status},
                {"reasons", outcome.reasons},
                {"report", outcome.report}};
}

std::string joined(const std::vector<std::string>& reasons) {
    std::string text;
    for (const std::string& reason : reasons) text += (text.empty() ? "" : "; ") + reason;
    return text;
}

std::string padded(std::string text, std::size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string pad(width - text.size(), ' ');
    return right ? pad + text : text + pad;
}

// check's line for a file: vertices, pairs, unpaired off the plane, largest
// deviation, score, verdict.
class CheckTable {
public:
    explicit CheckTable(std::size_t nameWidth) : nameWidth_(std::max<std::size_t>(nameWidth, 4)) {}

    std::string header() const {
        return padded("file", nameWidth_, false) + "  vertices     pairs  off plane" +
               "  largest deviation   score  verdict\n";
    }

    std::string row(const ListedFile& file, const FileOutcome& outcome) const {
        std::string line = padded(file.path, nameWidth_, false);
        const Json summary =
            outcome.report.is_object() ? outcome.report.value("summary", Json()) : Json();
        auto number = [&](const char* key, int decimals) -> std::string {
            if (!summary.is_object() || !summary.contains(key)) return "-";
            const Json& value = summary[key];
            if (value.is_number_integer()) return std::to_string(value.get<long long>());
            return value.is_number() ? formatFixed(value.get<double>(), decimals) : "-";
        };
        line += "  " + padded(number("vertices", 0), 8, true);
        line += "  " + padded(number("pairs", 0), 8, true);
        line += "  " + padded(number("offPlane", 0), 9, true);
        line += "  " + padded(number("maxDeviation", 6), 17, true);
        line += "  " + padded(number("score", 4), 6, true);
        line += "  " + std::string(verdictName(outcome.verdict));
        if (outcome.verdict != Verdict::kOk) line += ": " + joined(outcome.reasons);
        return line + "\n";
    }

private:
    std::size_t nameWidth_;
};

// detect's and resym's report for a file: its own text, or why there is none.
std::string ownReport(const ListedFile& file, const FileOutcome& outcome) {
    std::string text = outcome.text;
    if (outcome.verdict == Verdict::kError || (outcome.verdict == Verdict::kFailed && text.empty()))
        text +=
            file.path + ": " + verdictName(outcome.verdict) + ": " + joined(outcome.reasons) + "\n";
    return text + "\n";
}

std::string summaryLine(const std::string& command, const std::size_t counts[3]) {
    const std::size_t files = counts[0] + counts[1] + counts[2];
    std::string line = "summary: " + std::to_string(files) + (files == 1 ? " file: " : " files: ");
    if (command == "check")
        line += std::to_string(counts[0]) + " ok, " + std::to_string(counts[1]) + " failed, ";
    else if (command == "detect")
        line += std::to_string(counts[0]) + " with a plane, " + std::to_string(counts[1]) +
                " without a convincing plane, ";
    else
        line += std::to_string(counts[0]) + " done, ";
    return line + std::to_string(counts[2]) + " could not be " +
           (command == "check"    ? "checked"
            : command == "detect" ? "read"
                                  : "made symmetric") +
           "\n";
}

// "12 of 40 files" on a terminal's stderr, cleared before other text.
class FilesProgress {
public:
    FilesProgress(bool enabled, std::size_t total) : enabled_(enabled), total_(total) {}
    void show(std::size_t done) {
        if (!enabled_) return;
        const std::string text = std::to_string(done) + " of " + std::to_string(total_) + " files";
        std::fprintf(stderr, "\r%s", text.c_str());
        std::fflush(stderr);
        width_ = text.size();
    }
    void clear() {
        if (!enabled_ || width_ == 0) return;
        std::fprintf(stderr, "\r%s\r", std::string(width_, ' ').c_str());
        std::fflush(stderr);
        width_ = 0;
    }

private:
    bool enabled_;
    std::size_t total_;
    std::size_t width_ = 0;
};

// Refuses what has no meaning for a list of files; "" when all is well.
std::string listRefusal(const CommandSpec& spec, const CommandArgs& args) {
    for (const std::string& file : args.positional)
        if (file == "-") return "standard input (-) is one mesh, not a list of files";
    const std::string command = spec.name;
    for (const char* option : {"--png", "--csv", "--html", "-o"})
        if (args.has(option))
            return std::string(option) + " writes one file's result; give one input mesh";
    if (command == "resym" && !args.has("--in-place") && !args.has("--dry-run"))
        return "several files are made symmetric --in-place, or only reported with --dry-run";
    if (args.value("--json") == "-" && args.value("--jsonl") == "-")
        return "--json - and --jsonl - cannot both go to standard output";
    return {};
}

bool writeTo(const std::string& target, const std::string& text, std::string& error) {
    if (target == "-") {
        std::cout << text;
        std::cout.flush();
        return true;
    }
    return writeFileAtomically(target, text, error);
}

}  // namespace

bool namesManyFiles(const ParsedArgs& args) {
    if (args.positional.size() != 1 || args.has("--recursive") || args.has("--include") ||
        args.has("--jsonl"))
        return true;
    std::error_code ec;
    return args.positional[0] != "-" && fs::is_directory(args.positional[0], ec);
}

int runOnManyFiles(const Invocation& invocation, const CommandSpec& spec, const CommandArgs& args) {
    const std::string refusal = listRefusal(spec, args);
    if (!refusal.empty()) return usageError(spec, refusal);
    const std::string command = spec.name;
    const bool writesJson = command != "resym";
    const std::string jsonTarget = args.value("--json");
    const std::string linesTarget = args.value("--jsonl");
    std::string error;
    for (const std::string* target : {&jsonTarget, &linesTarget})
        if (!target->empty() && *target != "-" && !checkWritable(*target, error))
            return commandFailure(spec, error);
    std::string program = executablePath();
    if (program.empty()) program = invocation.argv0;
    ScratchOutputs scratch;
    if (!scratch.create(error)) return commandFailure(spec, error);

    const std::vector<ListedFile> files = listMeshFiles(args);
    std::ostream& text = jsonTarget == "-" || linesTarget == "-" ? std::cerr : std::cout;
    // A --jsonl file grows in its lock file as the files finish and takes
    // the target's place at the end, as every file the host writes does.
    SafeWriter linesFile;
    const bool linesToFile = !linesTarget.empty() && linesTarget != "-";
    if (linesToFile && !linesFile.open(linesTarget, error)) return commandFailure(spec, error);
    std::string linesError;

    std::vector<FileOutcome> outcomes(files.size());
    std::vector<bool> finished(files.size(), false);
    std::vector<std::size_t> order;  // indices as they finish
    std::mutex mutex;
    std::condition_variable changed;
    std::atomic<std::size_t> next{0};
    const std::size_t workers =
        std::min<std::size_t>(std::max(1u, std::thread::hardware_concurrency()), files.size());
    std::vector<std::thread> threads;
    for (std::size_t w = 0; w < workers; ++w) {
        threads.emplace_back([&] {
            for (std::size_t i = next++; i < files.size(); i = next++) {
                FileOutcome outcome = runOne(program, spec, args, files[i], scratch, i, writesJson);
                std::lock_guard<std::mutex> lock(mutex);
                outcomes[i] = std::move(outcome);
                finished[i] = true;
                order.push_back(i);
                changed.notify_one();
            }
        });
    }

    FilesProgress progress(stderrIsTerminal() && !args.has("--quiet"), files.size());
    const CheckTable table([&] {
        std::size_t width = 0;
        for (const ListedFile& file : files) width = std::max(width, file.path.size());
        return width;
    }());
    if (command == "check") text << table.header();
    std::size_t printed = 0;  // files whose text is out, in file order
    std::size_t reported = 0;
    std::size_t counts[3] = {0, 0, 0};
    while (printed < files.size()) {
        std::unique_lock<std::mutex> lock(mutex);
        changed.wait(lock, [&] { return order.size() > reported; });
        const std::vector<std::size_t> fresh(order.begin() + std::ptrdiff_t(reported), order.end());
        reported = order.size();
        std::size_t ready = printed;  // files finished in a row from `printed` on
        while (ready < files.size() && finished[ready]) ++ready;
        lock.unlock();
        progress.clear();
        if (!linesTarget.empty()) {
            std::string finishedLines;
            for (std::size_t i : fresh)
                finishedLines += outcomeJson(files[i], outcomes[i]).dump() + "\n";
            if (!linesToFile)
                std::cout << finishedLines << std::flush;
            else if (linesError.empty())
                linesFile.write(finishedLines, linesError);
        }
        for (; printed < ready; ++printed) {
            const FileOutcome& outcome = outcomes[printed];
            ++counts[static_cast<int>(outcome.verdict)];
            text << (command == "check" ? table.row(files[printed], outcome)
                                        : ownReport(files[printed], outcome));
        }
        text.flush();
        progress.show(reported);
    }
    for (std::thread& thread : threads) thread.join();
    progress.clear();
    text << summaryLine(command, counts);
    text.flush();

    if (!jsonTarget.empty()) {
        Json document;
        document["schema"] = "talvex-" + command + "-files/1";
        Json list = Json::array();
        for (std::size_t i = 0; i < files.size(); ++i)
            list.push_back(outcomeJson(files[i], outcomes[i]));
        document["files"] = list;
        document["summary"] = {{"files", files.size()},
                               {"ok", counts[0]},
                               {"failed", counts[1]},
                               {"errors", counts[2]}};
        if (!writeTo(jsonTarget, document.dump(2) + "\n", error))
            return commandFailure(spec, error);
    }
    if (linesToFile && (!linesError.empty() || !linesFile.commit(linesError)))
        return commandFailure(spec, linesError);
    // Options only the command itself reads are checked in each file's
    // process: when every one refused the command line, so does the list.
    const bool usage = std::all_of(outcomes.begin(), outcomes.end(),
                                   [](const FileOutcome& o) { return o.status == kExitUsage; });
    if (usage) return kExitUsage;
    return counts[0] == files.size() ? kExitOk : kExitFailure;
}

}  // namespace talvexhost
