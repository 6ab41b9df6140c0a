// talvex-host demo: the plug-in's main job on the built-in model, step by
// step as a modeller would do it, with the plug-in's messages printed.
#include <cstdio>
#include <filesystem>
#include <iostream>

#include "commands/command_table.h"
#include "demo/demo_model.h"
#include "demo/demo_turned.h"
#include "io/number_text.h"
#include "io/safe_writer.h"
#include "render/bitmap_font.h"
#include "session/cli_args.h"
#include "session/host_session.h"
#include "session/viewport.h"
#include "session/working_folder.h"

namespace talvexhost {

namespace {

const char kHelp[] =
    "usage: talvex-host demo [--out DIR] [--plugin PATH]\n"
    "\n"
    "Runs the plug-in's main job on a built-in, slightly asymmetric model (a cat head):\n"
    "Talvex Create Talvex, Talvex Reposition, Talvex Switch, a drag of the left ear's tip\n"
    "with live mirror matching, and Talvex Smart Resym. Prints the plug-in's messages and\n"
    "writes demo.obj (the model after Smart Resym) and demo.png (the viewport mid-drag,\n"
    "with the plug-in's overlay). Then the same model, turned off every axis and moved:\n"
    "its symmetry plane is detected, the plane placed there and Smart Resym applied\n"
    "(demo_turned.obj). First of all, check writes its page for the model as built\n"
    "(demo_check.html).\n"
    "\n"
    "  --out DIR       where to write the files (default: the current folder)\n"
    "  --plugin PATH   the plug-in library (default: the one beside talvex-host)\n";

const CommandSpec kSpec = {"demo", kHelp, {"--out"}, {}, 0, 0, ""};

constexpr int kDragSteps = 6;
constexpr int kSnapshotStep = 3;
constexpr float kDragLift = 0.3f;

std::string position(const HostVertex& v) {
    return "(" + formatFloat(v.x) + ", " + formatFloat(v.y) + ", " + formatFloat(v.z) + ")";
}

// The built-in model in a fresh session, with its viewport. The working
// folder has no settings file: the demo runs on the plug-in's defaults
// wherever it is started.
bool setUpScene(WorkingFolder& folder, HostSession& session, const std::string& plugin,
                const std::string& objPath, std::string& error) {
    if (!folder.enter(error)) return false;
    if (!session.loadPlugin(plugin, error)) return false;
    std::unique_ptr<MeshDocument> model = demoModelDocument(error);
    if (!model) return false;
    session.addDocument(std::move(model), objPath);
    return session.openViewport(800, 600, error);
}

// Create, Reposition and Switch: the plane on the model, shown.
void createAndShowPlane(HostSession& session, HostObject* head) {
    std::cout << "> select Head; Talvex Create Talvex\n";
    session.selectObjects({head});
    session.runCommand("Talvex Create Talvex");
    std::cout << "> select Head; Talvex Reposition\n";
    session.selectObjects({head});
    session.runCommand("Talvex Reposition");
    std::cout << "> Talvex Switch (the plane is on)\n";
    session.runCommand("Talvex Switch");
}

// What the picture shows, in a white band across its top: which vertex is
// dragged and what the plug-in's overlay draws while it is.
RenderOptions withCaption(const RenderOptions& view, int dragged, int partner) {
    RenderOptions captioned = view;
    const std::vector<std::string> lines = {
        "Mid-drag, step " + std::to_string(kSnapshotStep) + " of " + std::to_string(kDragSteps) +
            ": vertex " + std::to_string(dragged) + " (the left ear's tip) is dragged up;",
        "the plug-in moves its partner, vertex " + std::to_string(partner) +
            " (the right ear's tip), to match.",
        "line: from the dragged vertex to its mirror image across the plane (orange)",
        "box: the tolerance around the mirror image; point: the partner found in it",
        "green once a partner is held, white while searching; bottom right: the HUD"};
    const int line = kGlyphHeight + 3;
    int widest = 0;
    for (const std::string& text : lines) widest = std::max(widest, textWidth(text, 1));
    captioned.rects.push_back(
        {0, 0, widest + 16, line * int(lines.size()) + 8, Rgb{1.0f, 1.0f, 1.0f}});
    int y = 4;
    for (const std::string& text : lines) {
        captioned.texts.push_back({8, y, text, Rgb{0.10f, 0.12f, 0.16f}, 1});
        y += line;
    }
    captioned.margin = 1.25;
    return captioned;
}

// Drags the left ear's tip up in steps, as a mouse would, with a picture of
// the viewport mid-drag; the plug-in moves its partner live.
bool dragEarTip(HostSession& session, HostObject* head, const RenderOptions& view,
                const std::string& pngPath, std::string& error) {
    HostVertex& tip = hostsim::vertexOf(head, kDemoLeftEarTip);
    HostVertex& partner = hostsim::vertexOf(head, kDemoRightEarTip);
    std::cout << "> drag vertex " << kDemoLeftEarTip + 1 << " (left ear tip) up by "
              << formatFloat(kDragLift) << " in " << kDragSteps << " steps\n";
    std::cout << "  partner vertex " << kDemoRightEarTip + 1 << " before: " << position(partner)
              << "\n";
    session.host().scene.setEditObjects({head});
    session.selectVertices({&tip});
    const float startY = tip.y;
    for (int step = 1; step <= kDragSteps; ++step) {
        tip.y = static_cast<float>(double(startY) + double(kDragLift) * step / kDragSteps);
        session.host().reportMoved({&tip}, &tip);
        if (step == kSnapshotStep) {
            session.viewport()->render(
                session, withCaption(view, kDemoLeftEarTip + 1, kDemoRightEarTip + 1));
            if (!session.viewport()->savePng(pngPath, error)) return false;
        }
    }
    // Releasing the mouse: the host reports the end of the manipulation
    // with its manipulator on the dragged vertex.
    session.host().manipulator = {tip.x, tip.y, tip.z};
    session.host().hostEvent('E');
    std::cout << "  left ear tip now:  " << position(tip) << "\n"
              << "  partner now:       " << position(partner) << "\n";
    return true;
}

void applySmartResym(HostSession& session, HostObject* head, const RenderOptions& view) {
    std::cout << "> select Head; Talvex Smart Resym\n";
    session.selectObjects({head});
    session.runCommand("Talvex Smart Resym");
    session.viewport()->render(session, view);
}

// The model as built (before the drag and Smart Resym) checked by check
// itself, as a modeller would run it on the file, with its page written.
int writeCheckPage(const CommandArgs& args, const std::string& pagePath) {
    std::string error;
    WorkingFolder folder;
    const std::string model = "cat_head.obj";
    if (!folder.enter(error) || !writeFileAtomically(model, demoModelObj(), error))
        return commandFailure(kSpec, error);
    std::cout << "> talvex-host check " << model << " --html " << pagePath << " --quiet\n";
    Invocation check;
    check.args = {model, "--html", pagePath, "--quiet", "--plugin", args.plugin};
    return findSubcommand("check")->run(check);
}

}  // namespace

static int runDemo(const Invocation& invocation) {
    CommandArgs args;
    if (auto done = readCommandLine(invocation, kSpec, args)) return *done;
    const std::filesystem::path out = outputFolder(args);
    const std::string objPath = (out / "demo.obj").string();
    const std::string pngPath = (out / "demo.png").string();

    // Before the demo's own session: check loads the plug-in in a session of
    // its own, and one plug-in object serves one host at a time.
    if (const int status = writeCheckPage(args, (out / "demo_check.html").string())) return status;
    std::string error;
    WorkingFolder folder;
    HostSession session(std::cout);
    if (!setUpScene(folder, session, args.plugin, objPath, error))
        return commandFailure(kSpec, error);
    HostObject* head = session.meshes().front().object;
    std::cout << "talvex-host demo: model \"Head\", " << head->vertexCount << " vertices; plug-in "
              << args.plugin << "\n";
    createAndShowPlane(session, head);
    RenderOptions view;
    view.azimuthDegrees = -30.0;
    view.elevationDegrees = 20.0;
    if (!dragEarTip(session, head, view, pngPath, error)) return commandFailure(kSpec, error);
    applySmartResym(session, head, view);

    if (!session.saveDocument(0, objPath, error)) return commandFailure(kSpec, error);
    std::cout << "wrote " << objPath << " (the model after Smart Resym)\n"
              << "wrote " << pngPath << " (the viewport mid-drag, with the overlay)\n";
    if (!runTurnedDemo(session, (out / "demo_turned.obj").string(), std::cout, error))
        return commandFailure(kSpec, error);
    return kExitOk;
}

extern const Subcommand kDemoCommand = {
    kSpec, "run Create, Reposition, Switch, a live drag and Smart Resym on a built-in model",
    runDemo};

}  // namespace talvexhost
