#include "session/host_session.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <new>
#include <ostream>

#include "io/host_files.h"
#include "io/memory_estimate.h"
#include "io/progress.h"
#include "session/viewport.h"

namespace talvexhost {

HostSession::HostSession(std::ostream& out) : out_(out) {
    // Runs inside the plug-in's call of showMessage or showError: nothing
    // may escape back into the plug-in.
    host_.onMessage = [this](const std::string& text, bool isError) noexcept {
        try {
            shown_.push_back({isError, text});
            if (!echo_) return;
            Progress::endLine();
            out_ << (isError ? "error: " : "message: ") << text << "\n";
        } catch (...) {
        }
    };
}

HostSession::~HostSession() = default;

void HostSession::closeGl() {
    glWarmUp_.reset();
    viewport_.reset();
}

bool HostSession::loadPlugin(const std::string& path, std::string& error) {
    return host_.loadPlugin(path, error);
}

namespace {

// Whether `needed` more bytes can be had; else the refusal's text in `error`.
// Unknown availability (0) lets the work go ahead.
bool enoughMemory(const std::string& what, std::uint64_t needed, std::string& error) {
    const std::uint64_t available = availableMemory();
    if (available == 0 || needed <= available) return true;
    error = outOfMemoryText(what, needed, available);
    return false;
}

}  // namespace

std::uint64_t HostSession::glBytesStillNeeded() const {
    if (viewport_) return 0;
    return glWarmUp_ ? kGlContextAfterLoadBytes : kGlContextBytes;
}

void HostSession::prepareViewport() {
    if (viewport_ || glWarmUp_) return;
    // The driver crashes or hangs when it runs short of memory while it
    // loads, so it is not loaded at all then; openViewport says why.
    if (!enoughMemory("an OpenGL context would", kGlContextBytes, glRefusal_)) return;
    glWarmUp_ = std::make_unique<hostsim::GlWarmUp>();
}

bool HostSession::openViewport(int width, int height, std::string& error) {
    if (!glRefusal_.empty()) {
        error = glRefusal_;
        return false;
    }
    if (!enoughMemory("an OpenGL context would", glBytesStillNeeded(), error)) return false;
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

int HostSession::addDocument(std::unique_ptr<MeshDocument> document, const std::string& path,
                             bool asOneObject) {
    const int index = static_cast<int>(documents_.size());
    documents_.push_back({path, std::move(document)});
    MeshDocument& doc = *documents_.back().document;
    std::vector<MeshObject> objects = doc.takeObjects();
    if (asOneObject && doc.vertexCount() > 0) {
        objects.assign(1, MeshObject{});
        objects[0].name = "all";
        objects[0].vertices.resize(static_cast<std::size_t>(doc.vertexCount()));
        for (int v = 0; v < doc.vertexCount(); ++v)
            objects[0].vertices[static_cast<std::size_t>(v)] = v;
    }
    // Sized once: with millions of small objects a doubling copy would
    // briefly hold the list three times over.
    meshes_.reserve(meshes_.size() + objects.size());
    for (MeshObject& object : objects) {
        const std::vector<int>& vertices = object.vertices;
        HostObject* hostObject =
            host_.scene.addObject(object.name, vertices.size(), [&](std::size_t i) {
                const MeshPosition p = doc.position(vertices[i]);
                return hostsim::Point{p.x, p.y, p.z};
            });
        meshes_.push_back(
            {std::move(object.name), hostObject, index, FileVertexMap(std::move(object.vertices))});
        tagMeshes(meshes_.size() - 1);
    }
    // The scene holds the positions now; the document reads them again when
    // it is saved.
    doc.releasePositions();
    return index;
}

int HostSession::loadMesh(const std::string& path, std::string& error, bool asOneObject,
                          std::function<void(double)> progress) {
    MeshLoadOptions options;
    options.progress = std::move(progress);
    // The end-to-end tests switch the estimate off to see a real allocation
    // failure end the command cleanly.
    const bool estimate = std::getenv("TALVEX_HOST_NO_MEMORY_ESTIMATE") == nullptr;
    options.bytesPerVertex = estimate ? kBytesPerVertex : 0;
    std::unique_ptr<MeshDocument> document = loadMeshDocument(path, error, options);
    if (!document) {
        markOutOfMemory(error);
        return -1;
    }
    // The reader counted the vertices; the objects and the OpenGL context
    // the run will still make count too.
    const std::uint64_t objects = asOneObject ? 1 : document->objects().size();
    const std::uint64_t needed = objects * kBytesPerObject + glBytesStillNeeded();
    if (estimate &&
        !enoughMemory(path + ": " + std::to_string(objects) + " objects and an OpenGL context",
                      needed, error))
        return -1;
    return addDocument(std::move(document), path, asOneObject);
}

HostObject* HostSession::addObject(const std::string& name,
                                   const std::vector<hostsim::Point>& positions) {
    HostObject* object = host_.scene.addObject(name, positions);
    meshes_.push_back({name, object, -1, {}});
    tagMeshes(meshes_.size() - 1);
    return object;
}

void HostSession::syncDocuments() {
    for (const SceneMesh& mesh : meshes_) {
        if (mesh.document < 0) continue;
        MeshDocument& doc = *documents_[mesh.document].document;
        for (std::size_t i = 0; i < mesh.fileVertices.size(); ++i) {
            const HostVertex& v = hostsim::vertexOf(mesh.object, static_cast<int>(i));
            doc.setPosition(mesh.fileVertices[i], {v.x, v.y, v.z});
        }
    }
}

bool HostSession::saveDocument(int index, const std::string& path, std::string& error,
                               MeshNumberStyle style) {
    syncDocuments();
    documents_[index].document->setNumberStyle(style);
    return documents_[index].document->save(path, error);
}

std::string HostSession::documentBytes(int index, MeshNumberStyle style) {
    syncDocuments();
    documents_[index].document->setNumberStyle(style);
    return documents_[index].document->bytes();
}

void HostSession::tagMeshes(std::size_t from) {
    for (std::size_t m = from; m < meshes_.size(); ++m)
        hostsim::Scene::setHostTag(meshes_[m].object, static_cast<std::uint32_t>(m + 1));
}

const SceneMesh* HostSession::findMesh(const std::string& name) const {
    for (const SceneMesh& mesh : meshes_) {
        ++lookupSteps_;
        if (mesh.name == name) return &mesh;
    }
    return nullptr;
}

const SceneMesh* HostSession::meshOf(const HostObject* object) const {
    ++lookupSteps_;
    const std::uint32_t tag = hostsim::Scene::hostTag(object);
    if (tag == 0 || tag > meshes_.size()) return nullptr;
    const SceneMesh& mesh = meshes_[tag - 1];
    return mesh.object == object ? &mesh : nullptr;
}

std::vector<HostObject*> HostSession::planePrimitives() const {
    std::vector<HostObject*> planes;
    for (HostObject* object : host_.scene.objects()) {
        if (meshOf(object) == nullptr) planes.push_back(object);
    }
    return planes;
}

HostObject* HostSession::newestPlane() const {
    return host_.scene.newestObject(
        [this](const HostObject* object) { return meshOf(object) == nullptr; });
}

void HostSession::removeObject(HostObject* object) {
    host_.scene.removeObject(object);
    const auto gone = std::find_if(meshes_.begin(), meshes_.end(), [object](const SceneMesh& mesh) {
        return mesh.object == object;
    });
    if (gone == meshes_.end()) return;
    hostsim::Scene::setHostTag(object, 0);
    const auto from = static_cast<std::size_t>(gone - meshes_.begin());
    meshes_.erase(gone);
    tagMeshes(from);
}

bool HostSession::runCommand(const std::string& name) {
    // The plug-in's search falls back to its plain scan, hours long on a
    // large mesh, when its index cannot get memory, and says nothing: what
    // the command will ask for must be there before it starts.
    if (name == "Talvex Smart Resym" &&
        !memoryCanBeHad(smartResymBlocks(selectedVertexCount(), host_.scene.selected.list.count)))
        throw std::bad_alloc();
    const bool found = host_.executeByName(name);
    // A host service that ran out of memory inside the plug-in's call could
    // not say so there; the command ends here instead.
    host_.rethrowServiceFailure();
    return found;
}

std::uint64_t HostSession::selectedVertexCount() const {
    std::uint64_t vertices = 0;
    const ObjectList& selected = host_.scene.selected.list;
    for (int i = 0; i < selected.count; ++i)
        vertices += std::uint64_t(selected.items[i]->vertexCount);
    return vertices;
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
    // The real executable's folder: run through PATH or a link, argv[0]
    // names another one, or none.
    const std::string self = executablePath();
    fs::path folder = fs::path(self.empty() ? argv0 : self).parent_path();
    if (folder.empty()) folder = fs::current_path(ec);
    return (fs::absolute(folder, ec) / TALVEX_PLUGIN_FILE).string();
}

}  // namespace talvexhost
