// One run of the reference host: the simulated host with the plug-in loaded
// through its two exports, the meshes loaded into its scene, the offscreen
// viewport the plug-in draws into, and the printing of the plug-in's
// messages. Every subcommand works through one HostSession.
#pragma once

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "hostsim/gl_context.h"
#include "hostsim/sim_host.h"
#include "io/mesh_document.h"
#include "session/file_vertex_map.h"

namespace talvexhost {

class Viewport;

// A mesh object of the scene and where it came from.
struct SceneMesh {
    std::string name;
    HostObject* object;
    int document;  // index into documents(), or -1 for objects made by a script
    // Per host vertex, its global 0-based index in the document (empty for
    // script objects).
    FileVertexMap fileVertices;
};

struct LoadedDocument {
    std::string path;
    std::unique_ptr<MeshDocument> document;
};

// A text the plug-in showed through showMessage or showError.
struct ShownMessage {
    bool isError;
    std::string text;
};

class HostSession {
public:
    // `out` receives the plug-in's messages as the host shows them, unless
    // `echo` is false.
    explicit HostSession(std::ostream& out);
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    // Loads the plug-in; false with the reason when it is missing, is not a
    // plug-in or speaks another interface version.
    bool loadPlugin(const std::string& path, std::string& error);

    // Creates the offscreen viewport and draws once, as the host does before
    // its first command, so the plug-in loads its settings. False with the
    // reason when no OpenGL context can be made, or when too little memory is
    // left for one ("out of memory: ...").
    bool openViewport(int width, int height, std::string& error);
    // Starts loading the GL driver in the background, for a viewport opened
    // after long work (reading a large mesh).
    void prepareViewport();
    Viewport* viewport() { return viewport_.get(); }
    // Ends the OpenGL side (viewport, context, warm-up) now, as the session's
    // end would: the driver's memory goes back to it, whatever becomes of
    // the session.
    void closeGl();

    // Loads a mesh file (loadMeshDocument) and adds each of its objects to the scene (not
    // selected, not under edit); with `asOneObject`, one object holding every
    // vertex of the file instead. Returns the document index or -1 with
    // `error`; a mesh too large for the memory left is refused before it is
    // read, and one whose objects (and OpenGL context) would not fit once it
    // is read, with "out of memory: ...". `progress` gets the share read.
    int loadMesh(const std::string& path, std::string& error, bool asOneObject = false,
                 std::function<void(double)> progress = {});
    // Adds a document parsed elsewhere (the demo's generated model).
    int addDocument(std::unique_ptr<MeshDocument> document, const std::string& path,
                    bool asOneObject = false);
    // Adds an object without faces, as scripts define small scenes.
    HostObject* addObject(const std::string& name, const std::vector<hostsim::Point>& positions);

    // Copies the scene's vertex positions back into the documents.
    void syncDocuments();
    // Saves document `index` to `path` after syncing; false with `error`.
    bool saveDocument(int index, const std::string& path, std::string& error,
                      MeshNumberStyle style = MeshNumberStyle::kFileDecimals);
    // Document `index`'s bytes after syncing, as saveDocument would write it.
    std::string documentBytes(int index, MeshNumberStyle style = MeshNumberStyle::kFileDecimals);

    const std::vector<SceneMesh>& meshes() const { return meshes_; }
    const std::vector<LoadedDocument>& documents() const { return documents_; }
    // The first mesh called `name`, or null.
    const SceneMesh* findMesh(const std::string& name) const;
    // The mesh of a scene object, or null for one that is none (a plane
    // primitive). No search: the object carries its mesh's number.
    const SceneMesh* meshOf(const HostObject* object) const;
    // Objects the host built for command 107, in creation order.
    std::vector<HostObject*> planePrimitives() const;
    // The object "@plane" means: the newest primitive built by command 107.
    // Looks from the newest object back, so it costs nothing per mesh.
    HostObject* newestPlane() const;
    // How many meshes and scene objects the lookups above have looked at so
    // far: a run whose figure per object grows with the objects has a
    // search in it that would make many objects slow.
    std::uint64_t lookupSteps() const { return lookupSteps_; }

    // Runs a plug-in command by its table name; false when there is none.
    // Throws std::bad_alloc when Smart Resym's memory cannot be had before it
    // starts, or a host service ran out of memory during the command.
    bool runCommand(const std::string& name);
    // Replaces the selected objects and tells the plug-in.
    void selectObjects(const std::vector<HostObject*>& objects);
    void selectVertices(const std::vector<HostVertex*>& vertices);

    // Takes an object out of the scene and forgets it as a mesh.
    void removeObject(HostObject* object);

    // Every text the plug-in showed, in order.
    const std::vector<ShownMessage>& shown() const { return shown_; }

    void setEcho(bool echo) { echo_ = echo; }
    hostsim::Host& host() { return host_; }

private:
    std::ostream& out_;
    bool echo_ = true;
    hostsim::Host host_;
    std::unique_ptr<Viewport> viewport_;
    std::unique_ptr<hostsim::GlWarmUp> glWarmUp_;
    std::vector<LoadedDocument> documents_;
    std::vector<SceneMesh> meshes_;
    std::vector<ShownMessage> shown_;
    mutable std::uint64_t lookupSteps_ = 0;

    std::string glRefusal_;  // why no OpenGL context is made, when memory is short

    // Tags each mesh's object with its index + 1 in meshes_.
    void tagMeshes(std::size_t from);
    // Memory an OpenGL context not yet made will take.
    std::uint64_t glBytesStillNeeded() const;
    std::uint64_t selectedVertexCount() const;
};

// Where the plug-in beside the host executable would be: the file the
// running program is, links followed (`argv0` only where the system cannot
// say).
std::string defaultPluginPath(const std::string& argv0);

}  // namespace talvexhost
