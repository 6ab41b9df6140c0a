#include "session/viewport.h"

#include <GL/gl.h>

#include <algorithm>
#include <cmath>

#include "hostsim/gl_context.h"
#include "io/safe_writer.h"
#include "render/bitmap_font.h"
#include "render/deviation_colours.h"
#include "render/png_encode.h"
#include "session/host_session.h"

namespace talvexhost {

namespace {

struct Vec {
    double x, y, z;
};

Vec operator-(Vec a, Vec b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec operator+(Vec a, Vec b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
Vec operator*(Vec a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
Vec cross(Vec a, Vec b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec normalized(Vec a) {
    const double length = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
    return length > 0.0 ? a * (1.0 / length) : Vec{0.0, 0.0, 1.0};
}
Vec of(const Vector3& v) {
    return {double(v.x), double(v.y), double(v.z)};
}

constexpr double kPi = 3.14159265358979323846;
constexpr double kFieldOfViewDegrees = 30.0;
constexpr std::size_t kFacesPerFlush = 16384;

using VertexTables = std::vector<std::vector<const HostVertex*>>;

// Host vertex of each document vertex, for drawing the document's faces.
VertexTables vertexTables(const HostSession& session) {
    VertexTables tables(session.documents().size());
    for (std::size_t d = 0; d < tables.size(); ++d)
        tables[d].assign(session.documents()[d].document->vertexCount(), nullptr);
    for (const SceneMesh& mesh : session.meshes()) {
        if (mesh.document < 0) continue;
        for (std::size_t i = 0; i < mesh.fileVertices.size(); ++i)
            tables[mesh.document][mesh.fileVertices[i]] = mesh.object->vertices[i];
    }
    return tables;
}

// Whether the scene still holds `object`.
bool isLive(const std::vector<HostObject*>& live, const HostObject* object) {
    return std::find(live.begin(), live.end(), object) != live.end();
}

// Centre and radius of everything worth framing: the meshes, or the planes
// when there is nothing else.
void frame(HostSession& session, Vec& centre, double& radius) {
    Vec lo{1e30, 1e30, 1e30};
    Vec hi{-1e30, -1e30, -1e30};
    auto grow = [&](const HostObject* object) {
        for (int i = 0; i < object->vertexCount; ++i) {
            const Vec p = of(*object->vertices[i]);
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
    };
    const std::vector<HostObject*> live = session.host().scene.objects();
    for (const SceneMesh& mesh : session.meshes()) {
        if (isLive(live, mesh.object)) grow(mesh.object);
    }
    if (lo.x > hi.x) {
        for (HostObject* plane : session.planePrimitives()) grow(plane);
    }
    if (lo.x > hi.x) {
        centre = {0.0, 0.0, 0.0};
        radius = 1.0;
        return;
    }
    centre = (lo + hi) * 0.5;
    const Vec half = (hi - lo) * 0.5;
    radius = std::max(1e-3, std::sqrt(half.x * half.x + half.y * half.y + half.z * half.z));
}

void setCamera(HostSession& session, const RenderOptions& options, double aspect) {
    Vec centre;
    double radius;
    frame(session, centre, radius);
    const double az = options.azimuthDegrees * kPi / 180.0;
    const double el = options.elevationDegrees * kPi / 180.0;
    Vec direction;
    Vec up;
    if (options.up == 'z') {
        direction = {std::cos(el) * std::sin(az), -std::cos(el) * std::cos(az), std::sin(el)};
        up = {0.0, 0.0, 1.0};
    } else {
        direction = {std::cos(el) * std::sin(az), std::sin(el), std::cos(el) * std::cos(az)};
        up = {0.0, 1.0, 0.0};
    }
    const double halfFov = kFieldOfViewDegrees * 0.5 * kPi / 180.0;
    const double distance = radius / std::sin(halfFov) * 1.05 * options.margin;
    const double nearPlane = std::max(distance - radius * 2.0, distance * 0.01);
    const double farPlane = distance + radius * 2.0;
    const double top = nearPlane * std::tan(halfFov);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glFrustum(-top * aspect, top * aspect, -top, top, nearPlane, farPlane);

    const Vec eye = centre + direction * distance;
    const Vec f = normalized(centre - eye);
    const Vec s = normalized(cross(f, up));
    const Vec u = cross(s, f);
    const GLdouble view[16] = {s.x, u.x, -f.x, 0.0, s.y, u.y, -f.y, 0.0,
                               s.z, u.z, -f.z, 0.0, 0.0, 0.0, 0.0,  1.0};
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    // A light over the viewer's right shoulder, fixed to the eye.
    const GLfloat light[4] = {0.4f, 0.6f, 1.0f, 0.0f};
    glLightfv(GL_LIGHT0, GL_POSITION, light);
    glMultMatrixd(view);
    glTranslated(-eye.x, -eye.y, -eye.z);
}

void vertexAt(const HostVertex* v) {
    glVertex3f(v->x, v->y, v->z);
}

// A plane primitive's corners, in order around its rim.
void rimOf(HostVertex* const* corners) {
    vertexAt(corners[0]);
    vertexAt(corners[1]);
    vertexAt(corners[3]);
    vertexAt(corners[2]);
}

// Each document's vertex colours by document vertex, from the options'
// colours by object; empty when the options colour nothing.
using ColourTables = std::vector<std::vector<Rgb>>;

ColourTables colourTables(const HostSession& session, const RenderOptions& options) {
    ColourTables tables;
    if (options.objectColours.empty()) return tables;
    tables.resize(session.documents().size());
    for (std::size_t d = 0; d < tables.size(); ++d)
        tables[d].assign(session.documents()[d].document->vertexCount(), kSymmetricColour);
    for (const SceneMesh& mesh : session.meshes()) {
        if (mesh.document < 0) continue;
        // As vertexTables: where meshes share a document vertex, the last
        // one's vertex is drawn, and so its colour.
        const auto listed = options.objectColours.find(mesh.object);
        const std::vector<Rgb>* colours =
            listed == options.objectColours.end() ? nullptr : &listed->second;
        for (std::size_t i = 0; i < mesh.fileVertices.size(); ++i)
            tables[mesh.document][mesh.fileVertices[i]] =
                colours != nullptr && i < colours->size() ? (*colours)[i] : kSymmetricColour;
    }
    return tables;
}

// The documents drawn, whose faces, lines and points are read again from
// each as they are drawn: a million faces held at once would take some
// eighty megabytes.
using Documents = std::vector<const MeshDocument*>;

// Newell's normal copes with non-planar and concave polygons.
Vec faceNormal(const MeshElement& face, const std::vector<const HostVertex*>& table) {
    Vec normal{0.0, 0.0, 0.0};
    const std::size_t n = face.vertices.size();
    for (std::size_t i = 0; i < n; ++i) {
        const Vec a = of(*table[face.vertices[i]]);
        const Vec b = of(*table[face.vertices[(i + 1) % n]]);
        normal = normal + Vec{(a.y - b.y) * (a.z + b.z), (a.z - b.z) * (a.x + b.x),
                              (a.x - b.x) * (a.y + b.y)};
    }
    return normalized(normal);
}

// The documents' faces, lit, pushed back a little so their edges show.
void drawFaces(const Documents& documents, const VertexTables& tables,
               const ColourTables& colours) {
    glEnable(GL_LIGHTING);
    glEnable(GL_LIGHT0);
    glEnable(GL_COLOR_MATERIAL);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glLightModeli(GL_LIGHT_MODEL_TWO_SIDE, GL_TRUE);
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1.0f, 1.0f);
    glColor3f(0.62f, 0.70f, 0.80f);
    std::size_t drawn = 0;
    for (std::size_t d = 0; d < tables.size(); ++d) {
        documents[d]->forEachElement([&](const MeshElement& element) {
            if (element.kind != MeshElement::kFace) return;
            const HostVertex* first = tables[d][element.vertices[0]];
            if (first == nullptr) return;
            const Vec normal = faceNormal(element, tables[d]);
            glNormal3d(normal.x, normal.y, normal.z);
            glBegin(GL_POLYGON);
            for (int v : element.vertices) {
                if (!colours.empty()) {
                    const Rgb& c = colours[d][v];
                    glColor3f(c.r, c.g, c.b);
                }
                vertexAt(tables[d][v]);
            }
            glEnd();
            // The software renderer keeps every face it was given, some
            // hundreds of bytes each, until it is made to draw them.
            if (++drawn % kFacesPerFlush == 0) glFlush();
        });
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glDisable(GL_LIGHTING);
}

// The documents' face and line edges, when the wireframe is on.
void drawEdges(const Documents& documents, const VertexTables& tables,
               const RenderOptions& options) {
    glLineWidth(1.0f);
    glColor3f(0.16f, 0.20f, 0.28f);
    glBegin(GL_LINES);
    for (std::size_t d = 0; d < tables.size() && options.wireframe; ++d) {
        documents[d]->forEachElement([&](const MeshElement& element) {
            if (element.kind == MeshElement::kPoint) return;
            const std::size_t n = element.vertices.size();
            const std::size_t edges = element.kind == MeshElement::kFace ? n : n - 1;
            for (std::size_t i = 0; i < edges; ++i) {
                vertexAt(tables[d][element.vertices[i]]);
                vertexAt(tables[d][element.vertices[(i + 1) % n]]);
            }
        });
    }
    glEnd();
}

// Objects without faces (scripted scenes) show as their vertices.
void drawLooseVertices(HostSession& session) {
    const std::vector<HostObject*> live = session.host().scene.objects();
    glPointSize(5.0f);
    glBegin(GL_POINTS);
    for (const SceneMesh& mesh : session.meshes()) {
        if (mesh.document >= 0 || !isLive(live, mesh.object)) continue;
        for (int i = 0; i < mesh.object->vertexCount; ++i) vertexAt(mesh.object->vertices[i]);
    }
    glEnd();
}

void drawMeshes(HostSession& session, const RenderOptions& options) {
    const VertexTables tables = vertexTables(session);
    Documents documents;
    for (std::size_t d = 0; d < tables.size(); ++d)
        documents.push_back(session.documents()[d].document.get());
    drawFaces(documents, tables, colourTables(session, options));
    drawEdges(documents, tables, options);
    drawLooseVertices(session);
}

void drawPlanes(HostSession& session, const RenderOptions& options) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDepthMask(GL_FALSE);
    for (HostObject* plane : session.planePrimitives()) {
        if (plane->vertexCount < 4) continue;
        HostVertex** v = plane->vertices;
        glColor4f(1.0f, 0.62f, 0.15f, options.planeAlpha);
        glBegin(GL_QUADS);
        rimOf(v);
        glEnd();
        glColor4f(0.85f, 0.45f, 0.05f, 1.0f);
        glBegin(GL_LINE_LOOP);
        rimOf(v);
        glEnd();
    }
    glDepthMask(GL_TRUE);
    glDisable(GL_BLEND);
}

void drawHighlights(const RenderOptions& options) {
    if (options.highlights.empty()) return;
    glDisable(GL_DEPTH_TEST);
    glPointSize(7.0f);
    glColor3f(0.9f, 0.1f, 0.1f);
    glBegin(GL_POINTS);
    for (const Vector3* p : options.highlights) glVertex3f(p->x, p->y, p->z);
    glEnd();
    glPointSize(1.0f);
    glEnable(GL_DEPTH_TEST);
}

void drawMarkers(const RenderOptions& options) {
    if (options.markers.empty()) return;
    glPointSize(options.markerSize);
    // Hidden ones first, so the depth-tested ones stay on top of them.
    for (bool throughMesh : {true, false}) {
        if (throughMesh) glDisable(GL_DEPTH_TEST);
        glBegin(GL_POINTS);
        for (const Marker& m : options.markers) {
            if (m.throughMesh != throughMesh) continue;
            glColor3f(m.colour.r, m.colour.g, m.colour.b);
            glVertex3f(m.vertex->x, m.vertex->y, m.vertex->z);
        }
        glEnd();
        glEnable(GL_DEPTH_TEST);
    }
    glPointSize(1.0f);
}

// Pixel coordinates from the top-left corner, y growing downwards.
void beginPixelDrawing(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(0.0, width, height, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
}

void drawRect(int x, int y, int w, int h) {
    glVertex2i(x, y);
    glVertex2i(x + w, y);
    glVertex2i(x + w, y + h);
    glVertex2i(x, y + h);
}

void drawPixelText(const PixelText& text) {
    glColor3f(text.colour.r, text.colour.g, text.colour.b);
    glBegin(GL_QUADS);
    int x = text.x;
    for (char c : text.text) {
        const unsigned char* rows = glyphRows(c);
        for (int row = 0; row < kGlyphHeight; ++row)
            for (int bit = 0; bit < 8; ++bit)
                if (rows[row] & (0x80 >> bit))
                    drawRect(x + bit * text.scale, text.y + row * text.scale, text.scale,
                             text.scale);
        x += kGlyphAdvance * text.scale;
    }
    glEnd();
}

void drawPixelLayer(const RenderOptions& options, int width, int height) {
    if (options.rects.empty() && options.texts.empty()) return;
    beginPixelDrawing(width, height);
    glBegin(GL_QUADS);
    for (const PixelRect& r : options.rects) {
        glColor3f(r.colour.r, r.colour.g, r.colour.b);
        drawRect(r.x, r.y, r.width, r.height);
    }
    glEnd();
    for (const PixelText& text : options.texts) drawPixelText(text);
    glEnable(GL_DEPTH_TEST);
}

}  // namespace

Viewport::Viewport(std::unique_ptr<hostsim::OffscreenGl> gl) : gl_(std::move(gl)) {}
Viewport::~Viewport() = default;

std::unique_ptr<Viewport> Viewport::create(int width, int height, std::string& error) {
    std::unique_ptr<hostsim::OffscreenGl> gl = hostsim::OffscreenGl::create(width, height, error);
    if (!gl) return nullptr;
    return std::unique_ptr<Viewport>(new Viewport(std::move(gl)));
}

int Viewport::width() const {
    return gl_->width();
}
int Viewport::height() const {
    return gl_->height();
}

void Viewport::render(HostSession& session, const RenderOptions& options) {
    glViewport(0, 0, width(), height());
    glClearColor(0.93f, 0.94f, 0.96f, 1.0f);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    if (options.scene) {
        setCamera(session, options, double(width()) / double(height()));
        drawMeshes(session, options);
        drawPlanes(session, options);
        drawHighlights(options);
        drawMarkers(options);
        // The host's own state while the plug-in draws: lit, depth-tested,
        // model-view current.
        glEnable(GL_LIGHTING);
    }
    glMatrixMode(GL_MODELVIEW);
    session.host().draw(options.drawFlag);
    // The overlay leaves the projection matrix mode selected.
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_LIGHTING);
    drawPixelLayer(options, width(), height());
    glFinish();
}

std::vector<unsigned char> Viewport::pixelsTopDown() const {
    std::vector<unsigned char> bottomUp = gl_->readPixels();
    const std::size_t row = static_cast<std::size_t>(width()) * 4u;
    std::vector<unsigned char> topDown(bottomUp.size());
    for (int y = 0; y < height(); ++y)
        std::copy_n(bottomUp.begin() + static_cast<std::ptrdiff_t>(row * (height() - 1 - y)), row,
                    topDown.begin() + static_cast<std::ptrdiff_t>(row * y));
    return topDown;
}

bool Viewport::savePng(const std::string& path, std::string& error) const {
    std::string png;
    if (!encodePng(pixelsTopDown(), width(), height(), png)) {
        error = path + ": PNG encoding failed";
        return false;
    }
    return writeFileAtomically(path, png, error);
}

}  // namespace talvexhost
