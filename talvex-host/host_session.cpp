#include "host_session.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ostream>

#include "viewport.h"

namespace talvexhost {

namespace {

// Memory a vertex takes while a mesh is worked on: the host's vertex record
// and its pointer, the vertex's object entry, the undo record and the list the
// plug-in registers, the plug-in's pair list and search, and the positions
// the document reads back when it is written (measured: about 130 bytes
// natively; `make bench` prints the figure).
constexpr std::uint64_t kBytesPerVertex = sizeof(HostVertex) + 4 * sizeof(void*) + 40;

}  // namespace

HostSession::HostSession(std::ostream& out) : out_(out) {
    // Runs inside the plug-in's call of showMessage or showError: nothing
    // may escape back into the plug-in.
    host_.onMessage = [this](const std::string& text, bool isError) noexcept {
        try {
            shown_.push_back({isError, text});
            if (echo_) out_ << (isError ? "error: " : "message: ") << text << "\n";
        } catch (...) {
        }
    };
}

HostSession::~HostSession() = default;

bool HostSession::loadPlugin(const std::string& path, std::string& error) {
    return host_.loadPlugin(path, error);
}

void HostSession::prepareViewport() {
    if (!viewport_ && !glWarmUp_) glWarmUp_ = std::make_unique<hostsim::GlWarmUp>();
}

bool HostSession::openViewport(int width, int height, std::string& error) {
    glWarmUp_.reset();
    viewport_ = Viewport::create(width, height, error);
    if (!viewport_) return false;
    // The host's first paint: the plug-in binds to the context and reads its
    // settings here, before any command can run. No picture of it is kept,
    // so the meshes are not drawn: a large one would take seconds.
    RenderOptions first;
    first.scene = false;
    viewport_->render(*this, first);
    return true;
}

int HostSession::addDocument(ObjDocument document, const std::string& path, bool asOneObject) {
    const int index = static_cast<int>(documents_.size());
    documents_.push_back({path, std::move(document)});
    ObjDocument& doc = documents_.back().document;
    std::vector<ObjObject> objects = doc.takeObjects();
    if (asOneObject && doc.vertexCount() > 0) {
        objects.assign(1, ObjObject{});
        objects[0].name = "all";
        objects[0].vertices.resize(static_cast<std::size_t>(doc.vertexCount()));
        for (int v = 0; v < doc.vertexCount(); ++v)
            objects[0].vertices[static_cast<std::size_t>(v)] = v;
    }
    for (ObjObject& object : objects) {
        const std::vector<int>& vertices = object.vertices;
        HostObject* hostObject =
            host_.scene.addObject(object.name, vertices.size(), [&](std::size_t i) {
                const ObjPosition p = doc.position(vertices[i]);
                return hostsim::Point{p.x, p.y, p.z};
            });
        meshes_.push_back({object.name, hostObject, index, std::move(object.vertices)});
    }
    // The scene holds the positions now; the document reads them again when
    // it is saved.
    doc.releasePositions();
    return index;
}

int HostSession::loadMesh(const std::string& path, std::string& error, bool asOneObject,
                          std::function<void(double)> progress) {
    ObjDocument document;
    ObjLoadOptions options;
    options.progress = std::move(progress);
    // The end-to-end tests switch the estimate off to see a real allocation
    // failure end the command cleanly.
    options.bytesPerVertex = std::getenv("TALVEX_HOST_NO_MEMORY_ESTIMATE") ? 0 : kBytesPerVertex;
    if (!document.load(path, error, options)) return -1;
    return addDocument(std::move(document), path, asOneObject);
}

HostObject* HostSession::addObject(const std::string& name,
                                   const std::vector<hostsim::Point>& positions) {
    HostObject* object = host_.scene.addObject(name, positions);
    meshes_.push_back({name, object, -1, {}});
    return object;
}

void HostSession::syncDocuments() {
    for (const SceneMesh& mesh : meshes_) {
        if (mesh.document < 0) continue;
        ObjDocument& doc = documents_[mesh.document].document;
        for (std::size_t i = 0; i < mesh.fileVertices.size(); ++i) {
            const HostVertex& v = hostsim::vertexOf(mesh.object, static_cast<int>(i));
            doc.setPosition(mesh.fileVertices[i], {v.x, v.y, v.z});
        }
    }
}

bool HostSession::saveDocument(int index, const std::string& path, std::string& error,
                               ObjNumberStyle style) {
    syncDocuments();
    documents_[index].document.setNumberStyle(style);
    return documents_[index].document.save(path, error);
}

const SceneMesh* HostSession::findMesh(const std::string& name) const {
    for (const SceneMesh& mesh : meshes_) {
        if (mesh.name == name) return &mesh;
    }
    return nullptr;
}

const SceneMesh* HostSession::meshOf(const HostObject* object) const {
    for (const SceneMesh& mesh : meshes_) {
        if (mesh.object == object) return &mesh;
    }
    return nullptr;
}

std::vector<HostObject*> HostSession::planePrimitives() const {
    std::vector<HostObject*> planes;
    for (HostObject* object : host_.scene.objects()) {
        if (meshOf(object) == nullptr) planes.push_back(object);
    }
    return planes;
}

HostObject* HostSession::newestPlane() const {
    const std::vector<HostObject*> planes = planePrimitives();
    return planes.empty() ? nullptr : planes.back();
}

void HostSession::removeObject(HostObject* object) {
    host_.scene.removeObject(object);
    meshes_.erase(std::remove_if(meshes_.begin(), meshes_.end(),
                                 [object](const SceneMesh& mesh) { return mesh.object == object; }),
                  meshes_.end());
}

bool HostSession::runCommand(const std::string& name) {
    return host_.executeByName(name);
}

void HostSession::selectObjects(const std::vector<HostObject*>& objects) {
    host_.scene.selectObjects(objects);
    host_.selectionChanged();
}

void HostSession::selectVertices(const std::vector<HostVertex*>& vertices) {
    host_.scene.selectVertices(vertices);
    host_.selectionChanged();
}

std::string defaultPluginPath(const std::string& argv0) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::path folder = fs::path(argv0).parent_path();
    if (folder.empty()) folder = fs::current_path(ec);
    return (fs::absolute(folder, ec) / TALVEX_PLUGIN_FILE).string();
}

}  // namespace talvexhost
