// talvex-host check: finds the asymmetric vertices of a mesh without
// changing it. Smart Resym runs inside its edit step; the pairs come from the
// list the plug-in registers with the host; then the step is undone. The
// report (text, JSON, CSV, picture) is computed from those pairs and the scene.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <future>
#include <iostream>

#include "commands/command_table.h"
#include "commands/edit_modes.h"
#include "commands/many_files.h"
#include "io/memory_estimate.h"
#include "io/mesh_document.h"
#include "io/number_text.h"
#include "io/ordered_work.h"
#include "io/safe_writer.h"
#include "pairing/plane_side.h"
#include "report/asymmetry_report.h"
#include "report/check_picture.h"
#include "report/html_page.h"
#include "report/report_input.h"
#include "report/report_output.h"
#include "session/batch_setup.h"
#include "session/cli_args.h"
#include "session/resym_run.h"
#include "session/topology_run.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host check IN.obj [--plane auto|x|y|z|x=VALUE|...|A,B,C,D] [--tolerance T|P%] "
    "[--object NAME]\n"
    "                         [--as-one-object] [--min-deviation D] [--top N] [--verbose] "
    "[--quiet]\n"
    "                         [--json FILE|-] [--csv FILE|-] [--fail-above D] [--fail-unpaired]\n"
    "                         [--png FILE] [--view front|side|top|persp] [--size WxH] [--up y|z]\n"
    "                         [--html FILE] [--master +x|-x|+y|-y|+z|-z|+|-]\n"
    "                         [--pairing position|topology|auto] [--all-pairs] [--plugin PATH]\n"
    "       talvex-host check FILE|FOLDER... [--recursive] [--include GLOB] [--jsonl FILE|-]\n"
    "                         [--json FILE|-] [--html FOLDER] [--fail-above D] [--fail-unpaired]\n"
    "                         [options above]\n"
    "\n"
    "Reports how symmetric the mesh is, without changing it: the plug-in's Smart Resym runs\n"
    "inside an edit step, the host learns the vertex pairs from the list the plug-in\n"
    "registers before moving anything, and then undoes the step. Vertices are 1-based OBJ\n"
    "vertex numbers. A pair's deviation is the distance of its partner from the exact\n"
    "mirror image of its starter. Unpaired vertices are split into those on the plane\n"
    "(within 0.0001), near it (the centre line resym puts onto the plane: nearer than the\n"
    "tolerance or than half their shortest edge) and off it. check works with the plane and\n"
    "tolerance resym would take, and says whether resym would refuse the mesh.\n"
    "A pair is ambiguous when its starter had two or more candidates within the tolerance.\n"
    "\n"
    "symmetry score: ";

const char kOptions[] =
    "\n\n"
    "  --plane P          as for resym (default auto: the best symmetry plane found; x:\n"
    "                     through the vertices' centroid; A,B,C,D: the plane A x + B y + C z = D)\n"
    "  --tolerance T      matching tolerance in model units, or P% of the box diagonal;\n"
    "                     default as for resym: Talvex.ini's, else measured from the mesh\n"
    "  --object NAME      check the objects of that name only\n"
    "  --as-one-object    give the plug-in one object holding every vertex of the file\n"
    "                     (Smart Resym pairs only within an object)\n"
    "  --min-deviation D  list pairs deviating by more than D (default 0.0001)\n"
    "  --top N            list at most the N largest deviations (text, JSON and CSV)\n"
    "  --verbose          print every list in full (default: the first few entries)\n"
    "  --quiet            print only the summary lines\n"
    "  --json FILE|-      write the whole report as JSON (schema in the README)\n"
    "  --csv FILE|-       write the deviating pairs as CSV\n"
    "  --fail-above D     exit with status 1 when the largest deviation exceeds D\n"
    "  --fail-unpaired    exit with status 1 when any vertex off the plane is unpaired\n"
    "  --png FILE         render the mesh coloured by deviation, with legend and caption\n"
    "  --view V           front, side, top or persp (default: along the plane's normal when\n"
    "                     everything flagged lies on one side, else obliquely at the plane)\n"
    "  --size WxH         the picture's size in pixels (default 800x600)\n"
    "  --up y|z           the model's up axis for --png and --html (default y)\n"
    "  --html FILE        write one self-contained page to open in a browser: the mesh\n"
    "                     coloured as --png colours it, to turn and click, and the ranked table\n"
    "  --master SIDE      also say what resym --master SIDE would do: how many vertices it\n"
    "                     would move on each side, and which unpaired ones it would leave\n"
    "  --pairing P        position (default): the pairs Smart Resym finds; topology: also\n"
    "                     pair through the faces, from certain pairs at the plane outwards\n"
    "                     (for posed models), and say where the two differ; auto: positions\n"
    "                     filled in by topology where they found no partner\n"
    "  --all-pairs        list every pair taken, exact ones too: one a line (\"pair A B\")\n"
    "                     in the text, \"allPairs\" in the JSON, and the CSV becomes\n"
    "                     vertex_a,vertex_b\n"
    "  --plugin PATH      the plug-in library (default: the one beside talvex-host)\n"
    "  FILE... | FOLDER...  several meshes at once, each in a process of its own, as many\n"
    "                     at a time as there are cores: a folder's mesh files (by extension)\n"
    "                     are taken in name order; one line per file (vertices, pairs,\n"
    "                     unpaired off the plane, largest deviation, score, verdict) and a\n"
    "                     summary; --json writes one document with every file's report, and\n"
    "                     --fail-above and --fail-unpaired judge every file\n"
    "  --recursive        also the mesh files in the folders' subfolders\n"
    "  --include GLOB     only the folders' files whose name matches GLOB (* and ?)\n"
    "  --jsonl FILE|-     with several files: one JSON line per file as each finishes\n"
    "  --html FOLDER      with several files: a page per file in FOLDER (made if need be),\n"
    "                     named after its path (a/cat.obj: a_cat.obj.html), and index.html,\n"
    "                     the table of files with a link to each page\n"
    "\n"
    "Exit status: 0 done, 1 failed or a --fail-* condition held (for any file), 2 bad usage.\n";

// The score is defined beside the code that computes it.
const std::string kFullHelp = std::string(kHelp) + kScoreDefinition + kOptions;

const CommandSpec kSpec = {
    "check",
    kFullHelp.c_str(),
    {"--plane", "--tolerance", "--object", "--png", "--up", "--min-deviation", "--top", "--json",
     "--csv", "--fail-above", "--view", "--size", "--html", "--include", "--jsonl", "--master",
     "--pairing"},
    {"--quiet", "--verbose", "--fail-unpaired", "--as-one-object", "--recursive", "--all-pairs"},
    1,
    kManyFiles,
    "input meshes or folders"};

struct CheckOptions {
    std::string png;
    std::string html;
    std::string json;
    std::string csv;
    std::string view;
    char up = 'y';
    double minDeviation = double(0.0001f);
    double failAbove = -1.0;
    long top = -1;
    int width = 800;
    int height = 600;
};

bool parseSize(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    std::int64_t w = 0;
    std::int64_t h = 0;
    if (x == std::string::npos || !parseInteger(text.substr(0, x), w) ||
        !parseInteger(text.substr(x + 1), h))
        return false;
    if (w < 64 || h < 64 || w > 8192 || h > 8192) return false;
    width = static_cast<int>(w);
    height = static_cast<int>(h);
    return true;
}

bool nonNegative(const std::string& text, double& value) {
    return parseDouble(text, value) && value >= 0.0;
}

// Reads the report's own options; false with `error` for a bad one.
bool readOptions(const ParsedArgs& args, CheckOptions& options, std::string& error) {
    namespace fs = std::filesystem;
    std::error_code ec;
    auto path = [&](const char* option) {
        const std::string value = args.value(option);
        return value == "-" || value.empty() ? value : fs::absolute(value, ec).string();
    };
    options.png = args.has("--png") ? path("--png") : "";
    options.html = args.has("--html") ? path("--html") : "";
    options.json = path("--json");
    options.csv = path("--csv");
    options.view = args.value("--view");
    const std::string up = args.value("--up", "y");
    std::int64_t top = 0;
    if (up != "y" && up != "z")
        error = "--up must be y or z";
    else if (!options.view.empty() && !isKnownView(options.view))
        error = "--view must be front, side, top or persp";
    else if (args.has("--size") && !parseSize(args.value("--size"), options.width, options.height))
        error = "--size must be WIDTHxHEIGHT, each 64 to 8192 pixels";
    else if (args.has("--min-deviation") &&
             !nonNegative(args.value("--min-deviation"), options.minDeviation))
        error = "--min-deviation must be a number of at least 0";
    else if (args.has("--fail-above") &&
             !nonNegative(args.value("--fail-above"), options.failAbove))
        error = "--fail-above must be a number of at least 0";
    else if (args.has("--top") && (!parseInteger(args.value("--top"), top) || top < 0))
        error = "--top must be a whole number of at least 0 (\"" + args.value("--top") +
                "\" is not one, or too large to read)";
    else if (options.html == "-")
        error = "--html needs a file name (the page is too large for a terminal)";
    else if (options.json == "-" && options.csv == "-")
        error = "--json - and --csv - cannot both go to standard output";
    options.up = up[0];
    // Any count beyond what a list can hold lists everything (long is 32 bits
    // on Windows).
    if (args.has("--top")) options.top = static_cast<long>(std::min<std::int64_t>(top, 0x7fffffff));
    return error.empty();
}

// Writes `text` to `target`: "-" for standard output, else a file.
bool writeOutput(const std::string& target, const std::string& text, std::string& error) {
    if (target == "-") {
        std::cout << text;
        std::cout.flush();
        return true;
    }
    return writeFileAtomically(target, text, error);
}

// The JSON report as it is made, to stdout or through a safe writer: whole,
// a million-vertex report would hold some hundreds of megabytes at once.
bool writeJson(const std::string& target, const ReportContext& context, const ReportInput& input,
               const AsymmetryReport& report, std::string& error) {
    if (target == "-") {
        writeReportJson(context, input, report, [](const char* data, std::size_t size) {
            std::cout.write(data, static_cast<std::streamsize>(size));
            return true;
        });
        std::cout.flush();
        return true;
    }
    SafeWriter writer;
    return writer.open(target, error) &&
           writeReportJson(context, input, report,
                           [&](const char* data, std::size_t size) {
                               return writer.write(data, size, error);
                           }) &&
           writer.commit(error);
}

// The positions of every mesh read from the first file, bit for bit, folded
// into one number: equal before and after the run, nothing moved, and the
// file's text need not be read again to tell (a second of a million-vertex
// check).
std::uint64_t fileMeshesFingerprint(const HostSession& session) {
    std::uint64_t hash = 0x9E3779B97F4A7C15ull;
    const auto fold = [&hash](float value) {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        hash = (hash ^ bits) * 0x100000001B3ull;
        hash ^= hash >> 29;
    };
    for (const SceneMesh& mesh : session.meshes()) {
        if (mesh.document != 0) continue;
        for (int i = 0; i < mesh.object->vertexCount; ++i) {
            const HostVertex* v = mesh.object->vertices[i];
            fold(v->x);
            fold(v->y);
            fold(v->z);
        }
    }
    return hash;
}

// Smart Resym inside its edit step, then undone; false when the mesh changed.
// The report's edge facts are worked out in `ahead` while the command runs,
// where they can be.
bool runAndUndo(BatchSetup& setup, int masterSign, EdgeFactsAhead& ahead, ResymOutcome& outcome,
                std::string& error) {
    HostSession& session = *setup.session;
    int vertices = 0;
    for (const HostObject* object : setup.targets) vertices += object->vertexCount;
    // The facts are worked out on the other core from here until the
    // command returns (the set-up below and the plug-in's command leave it
    // idle), only when the memory for both can be had at once: the plug-in
    // falls back to its plain scan, hours long, when it cannot get its own.
    std::vector<std::uint64_t> blocks =
        smartResymBlocks(std::uint64_t(vertices), setup.targets.size());
    const std::vector<std::uint64_t> facts = EdgeFactsAhead::blocks(std::uint64_t(vertices));
    blocks.insert(blocks.end(), facts.begin(), facts.end());
    std::future<void> beside;
    if (memoryCanBeHad(blocks) &&
        ahead.prepare(session, setup.targets, setup.plane, setup.spec.axis))
        beside = runBeside([&ahead] { ahead.work(); });
    const std::uint64_t before = fileMeshesFingerprint(session);
    {
        Progress progress(!setup.quiet && vertices > kLongWorkVertices,
                          "running Smart Resym on " + std::to_string(vertices) + " vertices");
        ResymOptions options;
        fillResymOptions(setup, options);
        fillCentreLine(setup, options);
        options.masterSign = masterSign;
        if (beside.valid()) {
            options.afterCommand = [&beside] { beside.get(); };
            // The run's own rule for the centre line asks for the same facts.
            options.edgeFacts = [&ahead] { return *ahead.facts(); };
        }
        outcome = runSmartResym(session, setup.targets, setup.plane, setup.spec.axis, options);
    }
    if (beside.valid()) beside.get();
    if (outcome.pairs > 0 && !session.host().undo()) {
        error = "the plug-in's edit left no undo step";
        return false;
    }
    // The pairs are in the outcome: the host's copy of the registered list
    // is not needed again.
    session.host().lastRegistered.release();
    if (fileMeshesFingerprint(session) == before) return true;
    // Something moved: find which against the file.
    session.syncDocuments();
    const MeshDocument& document = *session.documents()[0].document;
    for (int v = 0; v < document.vertexCount(); ++v) {
        if (document.changed(v)) {
            error = "vertex " + std::to_string(v + 1) + " was moved outside the edit step";
            return false;
        }
    }
    return true;
}

ReportContext contextOf(const BatchSetup& setup, const ParsedArgs& args,
                        const CheckOptions& options, double tolerance,
                        const ResymOutcome& outcome) {
    ReportContext context;
    context.file = args.positional[0];
    context.plane = describePlane(setup.spec);
    context.placedPlane = describePlacedPlane(setup.spec, setup.plane);
    context.axis = setup.spec.axis;
    context.planeAt = setup.plane.pivot[setup.spec.axis];
    context.tolerance = tolerance;
    context.toleranceFrom = setup.toleranceFrom;
    context.toleranceText = describeTolerance(setup);
    context.object = args.value("--object");
    context.asOneObject = args.has("--as-one-object");
    context.objects = static_cast<int>(setup.targets.size());
    context.top = options.top;
    context.verbose = args.has("--verbose");
    context.quiet = setup.quiet;
    context.outcome = &outcome;
    return context;
}

// The picture's and the page's caption: the file, then plane, tolerance and score.
std::vector<std::string> captionOf(const ReportContext& context, const AsymmetryReport& report) {
    return {std::filesystem::path(context.file).filename().string(),
            "plane " + context.plane + ", tolerance " + formatFixed(context.tolerance, 4) +
                ", symmetry score " + formatFixed(report.score, 4)};
}

bool writePicture(HostSession& session, const GatheredInput& gathered,
                  const AsymmetryReport& report, const ReportContext& context,
                  const CheckOptions& options, std::string& error) {
    PictureRequest request;
    request.input = &gathered.input;
    request.report = &report;
    request.hostVertices = &gathered.hostVertices;
    request.objects = gathered.objects;
    request.planeAxis = context.axis;
    request.up = options.up;
    request.view = options.view;
    request.caption = captionOf(context, report);
    std::string chosen;
    return drawCheckPicture(session, request, options.png, chosen, error);
}

// The page, made from the same report as the JSON and drawn from the
// checked meshes' faces.
bool writePage(HostSession& session, std::ostream& text, const GatheredInput& gathered,
               const AsymmetryReport& report, ReportContext context, const CheckOptions& options,
               std::string& error) {
    HtmlPageRequest request;
    request.input = &gathered.input;
    request.report = &report;
    context.top = 0;  // the page carries the lists itself, whole
    request.reportJson = reportJson(context, gathered.input, report);
    request.caption = captionOf(context, report);
    request.view = options.view;
    request.up = options.up;
    request.polygons = reportPolygons(*session.documents()[0].document, gathered.input.vertices);
    const HtmlPage page = htmlPage(request);
    if (!writeFileAtomically(options.html, page.text, error)) return false;
    text << "page: " << options.html;
    if (page.facesDrawn < page.faces)
        text << " (drawing " << page.facesDrawn << " of " << page.faces << " faces to fit)";
    text << "\n";
    return true;
}

// Exit status from --fail-above and --fail-unpaired; says why on stderr.
int failureStatus(const ParsedArgs& args, const CheckOptions& options,
                  const AsymmetryReport& report) {
    int status = kExitOk;
    if (options.failAbove >= 0.0 && report.maxDeviation > options.failAbove) {
        status =
            commandFailure(kSpec, "the largest deviation " + formatFixed(report.maxDeviation, 6) +
                                      " exceeds " + args.value("--fail-above"));
    }
    const std::size_t unpaired = report.nearPlane.size() + report.offPlane.size();
    if (args.has("--fail-unpaired") && unpaired > 0) {
        status = commandFailure(kSpec, std::to_string(unpaired) + " vertices are unpaired");
    }
    return status;
}

// Loads the plug-in and the mesh and places the plane: kExitOk, or the exit
// status after saying why.
int prepare(const CommandArgs& args, const CheckOptions& options, std::ostream& text,
            BatchSetup& setup) {
    setup.viewWidth = options.width;
    setup.viewHeight = options.height;
    std::string error;
    int status = kExitOk;
    if (!prepareBatch(args, text, setup, error, status))
        return status == kExitUsage ? usageError(kSpec, error) : commandFailure(kSpec, error);
    if (!options.png.empty() && !setup.viewport)
        return commandFailure(kSpec, "--png needs an OpenGL context, and none could be made");
    return kExitOk;
}

// The report's input: the scene's vertices, the run's pairs, and the
// tolerance the plug-in matched with.
GatheredInput gatherInput(const BatchSetup& setup, const ResymOutcome& outcome,
                          const CheckOptions& options, const EdgeFactsAhead& ahead) {
    GatheredInput gathered = gatherReportInput(*setup.session, setup.targets, outcome, setup.plane,
                                               setup.spec.axis, true, ahead.facts());
    gathered.input.tolerance = double(setup.tolerance);
    gathered.input.minDeviation = options.minDeviation;
    return gathered;
}

// The report as text, and as JSON, CSV and picture where asked for.
bool writeReports(HostSession& session, std::ostream& text, const GatheredInput& gathered,
                  const AsymmetryReport& report, const ReportContext& context,
                  const CheckOptions& options, std::string& error) {
    writeReportText(text, context, gathered.input, report);
    if (!options.json.empty() && !writeJson(options.json, context, gathered.input, report, error))
        return false;
    if (!options.csv.empty() &&
        !writeOutput(options.csv, reportCsv(context, gathered.input, report), error))
        return false;
    if (!options.html.empty() &&
        !writePage(session, text, gathered, report, context, options, error))
        return false;
    if (options.png.empty()) return true;
    if (!writePicture(session, gathered, report, context, options, error)) return false;
    text << "image: " << options.png << "\n";
    return true;
}

}  // namespace

static int runCheck(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    CheckOptions options;
    std::string error;
    if (!readOptions(args, options, error)) return usageError(kSpec, error);
    if (namesManyFiles(args)) return runOnManyFiles(invocation, kSpec, args);
    EditModes modes;
    if (!readEditModes(args, modes, error)) return usageError(kSpec, error);
    const PlaneSide& master = modes.master;
    const PairingMode pairing = modes.pairing;
    for (const std::string* target : {&options.png, &options.json, &options.csv, &options.html}) {
        if (!target->empty() && *target != "-" && !checkWritable(*target, error))
            return commandFailure(kSpec, error);
    }
    // When a machine-readable report takes standard output, people's text
    // and the plug-in's messages go to standard error.
    const bool stdoutTaken = options.json == "-" || options.csv == "-";
    std::ostream& text = stdoutTaken ? std::cerr : std::cout;
    BatchSetup setup;
    if (const int status = prepare(args, options, text, setup)) return status;
    if (!setup.toleranceNote.empty() && !setup.quiet) text << setup.toleranceNote << "\n";
    int masterSign = 0;
    if (args.has("--master") && !sideSign(master, setup.spec, "--master", masterSign, error))
        return commandFailure(kSpec, error);
    ResymOutcome outcome;
    EdgeFactsAhead ahead;
    if (!runAndUndo(setup, masterSign, ahead, outcome, error)) return commandFailure(kSpec, error);

    GatheredInput gathered = gatherInput(setup, outcome, options, ahead);
    // What the report needs no longer, given back before it builds its grids:
    // the run's copies of the pairs (the addresses unless topology pairing
    // reads them below), and the vertex addresses unless for a picture.
    std::vector<std::pair<int, int>>().swap(outcome.pairOrdinals);
    if (pairing == PairingMode::kPosition && !args.has("--all-pairs"))
        std::vector<std::pair<const HostVertex*, const HostVertex*>>().swap(outcome.pairList);
    if (options.png.empty()) std::vector<const HostVertex*>().swap(gathered.hostVertices);
    const AsymmetryReport report = analyseAsymmetry(gathered.input);
    ReportContext context = contextOf(setup, args, options, gathered.input.tolerance, outcome);
    TopologyRun run;
    if (pairing != PairingMode::kPosition || args.has("--all-pairs"))
        run = pairTargets(*setup.session, setup.targets, setup.plane, setup.spec.axis,
                          double(setup.tolerance), pairing, outcome.pairList);
    const std::vector<std::pair<int, int>> allPairs = pairNumbers(run);
    if (masterSign != 0) {
        context.masterSide = sideName(setup.spec.axis, masterSign);
        context.masterSign = masterSign;
    }
    if (args.has("--all-pairs")) {
        context.allPairs = &allPairs;
        context.pairing = args.value("--pairing", "position");
    }
    if (!writeReports(*setup.session, text, gathered, report, context, options, error))
        return commandFailure(kSpec, error);
    if (masterSign != 0)
        text << "resym --master " << args.value("--master") << ":\n"
             << describeMasterRun(outcome, setup.spec.axis, masterSign, true);
    if (pairing != PairingMode::kPosition) printTopologyRun(text, run, pairing);
    if (args.has("--all-pairs"))
        for (const auto& [a, b] : allPairs) text << "pair " << a << " " << b << "\n";
    return failureStatus(args, options, report);
}

extern const Subcommand kCheckCommand = {
    kSpec, "report the asymmetric vertices of a mesh without changing it", runCheck};

}  // namespace talvexhost
