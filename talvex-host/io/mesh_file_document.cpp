#include "io/mesh_file_document.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <filesystem>

#include "io/number_text.h"
#include "io/safe_writer.h"

namespace talvexhost {

namespace {

std::string megabytes(std::uint64_t bytes) {
    return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MB";
}

// Digits after the point of the mantissa of a token in scientific notation
// ("1.250000e+00": 6); -1 for anything else.
int mantissaDigits(std::string_view token) {
    const std::size_t e = token.find_first_of("eE");
    if (e == std::string_view::npos) return -1;
    const std::size_t point = token.find('.');
    if (point == std::string_view::npos || point > e) return 0;
    return static_cast<int>(e - point - 1);
}

bool sameFloatBits(float a, float b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

PositionWelder::PositionWelder(std::vector<MeshPosition>& positions, std::size_t expected,
                               std::size_t first)
    : positions_(positions), first_(first) {
    std::size_t size = 1024;
    while (size < expected * 2) size <<= 1;
    table_.assign(size, -1);
}

int PositionWelder::vertexAt(const MeshPosition& p) {
    if ((positions_.size() - first_ + 1) * 10 > table_.size() * 7) grow();
    const Key key = keyOf(p);
    std::size_t slot = hashOf(key) & (table_.size() - 1);
    for (;;) {
        const int vertex = table_[slot];
        if (vertex < 0) break;
        if (keyOf(positions_[vertex]) == key) return vertex;
        slot = (slot + 1) & (table_.size() - 1);
    }
    table_[slot] = static_cast<int>(positions_.size());
    positions_.push_back(p);
    return table_[slot];
}

PositionWelder::Key PositionWelder::keyOf(const MeshPosition& p) {
    Key key;
    const float values[3] = {p.x == 0.0f ? 0.0f : p.x, p.y == 0.0f ? 0.0f : p.y,
                             p.z == 0.0f ? 0.0f : p.z};
    std::memcpy(key.bits, values, sizeof key.bits);
    return key;
}

std::size_t PositionWelder::hashOf(const Key& key) {
    std::uint64_t h = 0x9E3779B97F4A7C15ull;
    for (std::uint32_t b : key.bits) {
        h = (h ^ b) * 0xFF51AFD7ED558CCDull;
        h ^= h >> 32;
    }
    return static_cast<std::size_t>(h);
}

void PositionWelder::grow() {
    std::vector<int> old(table_.size() * 2, -1);
    old.swap(table_);
    for (std::size_t v = first_; v < positions_.size(); ++v) {
        std::size_t slot = hashOf(keyOf(positions_[v])) & (table_.size() - 1);
        while (table_[slot] >= 0) slot = (slot + 1) & (table_.size() - 1);
        table_[slot] = static_cast<int>(v);
    }
}

bool samePositionBits(const MeshPosition& a, const MeshPosition& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

std::string coordinateText(std::string_view token, float value, MeshNumberStyle style) {
    float old = 0.0f;
    if (readFloat(token, old) == NumberStatus::kOk && sameFloatBits(old, value)) return {};
    if (style == MeshNumberStyle::kFileDecimals) {
        char text[64];
        std::size_t length = 0;
        const int decimals = fixedDecimals(token);
        const int digits = mantissaDigits(token);
        if (decimals > 0 && decimals <= 9) {
            length = formatFloatFixedInto(value, decimals, text);
        } else if (digits >= 0 && digits <= 9) {
            // The float widened is its exact value, which the library rounds
            // correctly and alike in both builds; the exponent's letter is the file's.
            const auto result = std::to_chars(text, text + sizeof text, double(value),
                                              std::chars_format::scientific, digits);
            length = result.ec == std::errc() ? std::size_t(result.ptr - text) : 0;
            if (token.find('E') != std::string_view::npos)
                std::replace(text, text + length, 'e', 'E');
        }
        if (length > 0) {
            float back = 0.0f;
            const std::string_view written(text, length);
            // A move below the file's last digit keeps its text.
            if (readFloat(written, back) == NumberStatus::kOk && sameFloatBits(back, old))
                return {};
            return std::string(written);
        }
    }
    return formatFloat(value);
}

std::string applyPatches(std::string_view bytes, std::vector<BytePatch> patches) {
    std::sort(patches.begin(), patches.end(),
              [](const BytePatch& a, const BytePatch& b) { return a.begin < b.begin; });
    std::string out;
    std::size_t grow = 0;
    for (const BytePatch& patch : patches)
        grow += patch.text.size() > patch.end - patch.begin
                    ? patch.text.size() - (patch.end - patch.begin)
                    : 0;
    out.reserve(bytes.size() + grow);
    std::size_t at = 0;
    for (const BytePatch& patch : patches) {
        out.append(bytes.data() + at, patch.begin - at);
        out += patch.text;
        at = patch.end;
    }
    out.append(bytes.data() + at, bytes.size() - at);
    return out;
}

std::string fileStem(const std::string& path) {
    const std::size_t slash = path.find_last_of("/\\");
    std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) name.resize(dot);
    return name;
}

std::string lineOf(std::string_view text, std::size_t offset, const std::string& name) {
    offset = std::min(offset, text.size());
    const std::size_t line = 1 + std::size_t(std::count(text.begin(), text.begin() + offset, '\n'));
    return name + ":" + std::to_string(line);
}

MeshFileDocument::MeshFileDocument() = default;
MeshFileDocument::~MeshFileDocument() = default;

void MeshFileDocument::clear() {
    positions_.clear();
    objects_.clear();
    elementStarts_.clear();
    uniformSize_ = 0;
    elementVertices_.clear();
    elementKinds_.clear();
}

bool MeshFileDocument::load(const std::string& path, std::string& error,
                            const MeshLoadOptions& options) {
    auto mapped = std::make_unique<MappedFile>();
    if (!mapped->open(path, error)) return false;
    clear();
    owned_.clear();
    name_ = path;
    data_ = mapped->bytes();
    version_ = mapped->version();
    mapped_ = std::move(mapped);
    skipElements_ = options.positionsOnly;
    if (!parse(error, options)) {
        clear();
        return false;
    }
    if (options.progress) options.progress(1.0);
    return true;
}

bool MeshFileDocument::parseBytes(std::string bytes, const std::string& name, std::string& error) {
    clear();
    mapped_.reset();
    owned_ = std::move(bytes);
    name_ = name;
    data_ = owned_;
    version_ = FileVersion{};
    skipElements_ = false;
    if (parse(error, MeshLoadOptions{})) return true;
    clear();
    return false;
}

bool MeshFileDocument::changed(int vertex) const {
    return !samePositionBits(positions_[vertex], filePosition(vertex));
}

bool MeshFileDocument::affordable(std::uint64_t vertices, const MeshLoadOptions& options,
                                  std::string& error) const {
    if (options.bytesPerVertex == 0) return true;
    // The file stays mapped while the mesh is worked on, so it counts too.
    const std::uint64_t needed = data_.size() + vertices * (options.bytesPerVertex + 16);
    const std::uint64_t available = availableMemory();
    if (available == 0 || needed <= available) return true;
    error = name_ + ": " + std::to_string(vertices) + " vertices need about " + megabytes(needed) +
            " of memory, but only " + megabytes(available) + " are available; nothing was done";
    return false;
}

void MeshFileDocument::addElement(MeshElement::Kind kind, const int* vertices, std::size_t count) {
    if (skipElements_) return;
    const std::size_t before = elementCount();
    if (before == 0 && elementStarts_.empty()) uniformSize_ = count;
    // The first element of another size lists where every element starts.
    if (uniformSize_ != 0 && count != uniformSize_) {
        elementStarts_.resize(before + 1);
        for (std::size_t k = 0; k <= before; ++k) elementStarts_[k] = k * uniformSize_;
        uniformSize_ = 0;
    }
    if (kind != MeshElement::kFace && elementKinds_.empty())
        elementKinds_.assign(before, MeshElement::kFace);
    if (!elementKinds_.empty()) elementKinds_.push_back(static_cast<std::uint8_t>(kind));
    elementVertices_.insert(elementVertices_.end(), vertices, vertices + count);
    if (uniformSize_ == 0) elementStarts_.push_back(elementVertices_.size());
}

std::size_t MeshFileDocument::elementCount() const {
    if (uniformSize_ != 0) return elementVertices_.size() / uniformSize_;
    return elementStarts_.empty() ? 0 : elementStarts_.size() - 1;
}

std::size_t MeshFileDocument::elementStart(std::size_t k) const {
    return uniformSize_ != 0 ? k * uniformSize_ : elementStarts_[k];
}

std::vector<MeshElement> MeshFileDocument::elements() const {
    std::vector<MeshElement> out(elementCount());
    for (std::size_t k = 0; k < out.size(); ++k) {
        out[k].kind = elementKinds_.empty() ? MeshElement::kFace
                                            : static_cast<MeshElement::Kind>(elementKinds_[k]);
        out[k].vertices.assign(elementVertices_.begin() + std::ptrdiff_t(elementStart(k)),
                               elementVertices_.begin() + std::ptrdiff_t(elementStart(k + 1)));
    }
    return out;
}

void MeshFileDocument::forEachEdge(const std::function<void(const MeshEdge&)>& edge) const {
    const std::size_t count = elementCount();
    for (std::size_t k = 0; k < count; ++k) {
        const MeshElement::Kind kind = elementKinds_.empty()
                                           ? MeshElement::kFace
                                           : static_cast<MeshElement::Kind>(elementKinds_[k]);
        const std::size_t begin = elementStart(k);
        const std::size_t end = elementStart(k + 1);
        if (kind == MeshElement::kPoint || end - begin < 2) continue;
        for (std::size_t i = begin; i + 1 < end; ++i)
            edge(MeshEdge{elementVertices_[i], elementVertices_[i + 1]});
        if (kind == MeshElement::kFace)
            edge(MeshEdge{elementVertices_[end - 1], elementVertices_[begin]});
    }
}

bool MeshFileDocument::sourceUnchanged() const {
    if (version_.size < 0) return true;
    FileVersion now;
    return fileVersion(name_, now) && now == version_;
}

std::string MeshFileDocument::changedUnderneath() const {
    return name_ +
           ": the input changed while it was read (another program wrote to it or "
           "replaced it); nothing was written";
}

void MeshFileDocument::releaseFile() {
    mapped_.reset();
    data_ = {};
}

bool MeshFileDocument::save(const std::string& path, std::string& error) {
    const std::string out = bytes();
    SafeWriter writer;
    if (!writer.open(path, error)) return false;
    if (!writer.write(out, error)) return false;
    std::error_code ec;
    const bool replacesSource =
        mapped_ && std::filesystem::equivalent(name_, writer.resolvedTarget(), ec);
    bool refused = false;
    const bool committed = writer.commit(error, [&](std::string& why) {
        if (!sourceUnchanged()) {
            why = changedUnderneath();
            refused = true;
            return false;
        }
        if (replacesSource) releaseFile();
        return true;
    });
    if (refused || !replacesSource) return committed;
    // The document now stands for what was written: read it, then set again
    // the positions the host gave, which the text may have rounded.
    std::vector<MeshPosition> kept = std::move(positions_);
    std::vector<MeshObject> objects = std::move(objects_);
    const bool hadObjects = !objects.empty();
    std::string why;
    const std::string source = name_;
    if (!load(source, why)) {
        error = committed ? path + ": written, but cannot be read again (" + why + ")" : error;
        clear();
        return false;
    }
    if (kept.size() == positions_.size()) positions_ = std::move(kept);
    if (!hadObjects) objects_.clear();
    return committed;
}

}  // namespace talvexhost
