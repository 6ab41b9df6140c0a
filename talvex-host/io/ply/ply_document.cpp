#include "io/ply/ply_document.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "io/number_text.h"
#include "io/text_tokens.h"

namespace talvexhost {

namespace {

struct ScalarType {
    const char* name;
    const char* alias;
    std::size_t size;
    bool isFloat;
    bool isSigned;
};

constexpr ScalarType kTypes[] = {
    {"char", "int8", 1, false, true},    {"uchar", "uint8", 1, false, false},
    {"short", "int16", 2, false, true},  {"ushort", "uint16", 2, false, false},
    {"int", "int32", 4, false, true},    {"uint", "uint32", 4, false, false},
    {"float", "float32", 4, true, true}, {"double", "float64", 8, true, true},
};
constexpr int kFloat = 6;
constexpr int kDouble = 7;

int typeNamed(std::string_view name) {
    for (int t = 0; t < int(std::size(kTypes)); ++t)
        if (name == kTypes[t].name || name == kTypes[t].alias) return t;
    return -1;
}

// The bytes at `p` in the file's order as the machine's value.
void loadOrdered(const char* p, std::size_t size, bool bigEndian, unsigned char* out) {
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<unsigned char>(p[bigEndian ? size - 1 - i : i]);
}

// Host byte order is little-endian on every target we build for (x86).
double readScalar(const char* p, int type, bool bigEndian) {
    unsigned char raw[8] = {};
    loadOrdered(p, kTypes[type].size, bigEndian, raw);
    switch (type) {
        case 0:
            return double(static_cast<std::int8_t>(raw[0]));
        case 1:
            return double(raw[0]);
        case 2: {
            std::int16_t v;
            std::memcpy(&v, raw, 2);
            return v;
        }
        case 3: {
            std::uint16_t v;
            std::memcpy(&v, raw, 2);
            return v;
        }
        case 4: {
            std::int32_t v;
            std::memcpy(&v, raw, 4);
            return v;
        }
        case 5: {
            std::uint32_t v;
            std::memcpy(&v, raw, 4);
            return v;
        }
        case kFloat: {
            float v;
            std::memcpy(&v, raw, 4);
            return v;
        }
        default: {
            double v;
            std::memcpy(&v, raw, 8);
            return v;
        }
    }
}

float readCoordinate(const char* p, int type, bool bigEndian) {
    unsigned char raw[8] = {};
    loadOrdered(p, kTypes[type].size, bigEndian, raw);
    if (type == kFloat) {
        float v;
        std::memcpy(&v, raw, 4);
        return v;
    }
    double v;
    std::memcpy(&v, raw, 8);
    return static_cast<float>(v);
}

void storeCoordinate(char* p, int type, bool bigEndian, float value) {
    unsigned char raw[8];
    std::size_t size = 4;
    if (type == kFloat) {
        std::memcpy(raw, &value, 4);
    } else {
        const double wide = value;
        std::memcpy(raw, &wide, 8);
        size = 8;
    }
    for (std::size_t i = 0; i < size; ++i)
        p[i] = static_cast<char>(raw[bigEndian ? size - 1 - i : i]);
}

// The words of a header line.
std::vector<std::string_view> wordsOf(std::string_view line) {
    std::vector<std::string_view> words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isSpace(line[i])) ++i;
        const std::size_t start = i;
        while (i < line.size() && !isSpace(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
    return words;
}

bool isFaceList(const PlyDocument::Property& property) {
    return property.countType >= 0 &&
           (property.name == "vertex_indices" || property.name == "vertex_index");
}

MeshElement::Kind kindOf(std::size_t corners) {
    return corners >= 3   ? MeshElement::kFace
           : corners == 2 ? MeshElement::kLine
                          : MeshElement::kPoint;
}

}  // namespace

std::string PlyDocument::refuses(std::string_view head) {
    if (head.substr(0, 4) == "ply\n" || head.substr(0, 5) == "ply\r\n") return {};
    return "has no PLY header (its first line is not \"ply\")";
}

std::string PlyDocument::binaryError(std::size_t offset, const std::string& what) const {
    return name_ + ": offset " + std::to_string(offset) + ": " + what;
}

bool PlyDocument::readFormatLine(const std::vector<std::string_view>& words, std::string_view line,
                                 const std::string& here, std::string& error) {
    if (words.size() != 3 || words[2] != "1.0") {
        error = here + "unsupported format line \"" + std::string(line) + "\"";
        return false;
    }
    if (words[1] == "ascii")
        encoding_ = Encoding::kAscii;
    else if (words[1] == "binary_little_endian")
        encoding_ = Encoding::kLittleEndian;
    else if (words[1] == "binary_big_endian")
        encoding_ = Encoding::kBigEndian;
    else {
        error = here + "unknown format \"" + std::string(words[1]) + "\"";
        return false;
    }
    return true;
}

bool PlyDocument::readElementLine(const std::vector<std::string_view>& words,
                                  const std::string& here, std::string& error) {
    std::int64_t count = 0;
    if (words.size() != 3 || !parseInteger(words[2], count) || count < 0) {
        error = here + "an element line needs a name and a count of 0 or more";
        return false;
    }
    elements_.push_back(Element{std::string(words[1]), std::uint64_t(count), {}});
    return true;
}

bool PlyDocument::readPropertyLine(const std::vector<std::string_view>& words,
                                   const std::string& here, std::string& error) {
    if (elements_.empty()) {
        error = here + "a property before any element";
        return false;
    }
    Property property;
    if (words.size() == 5 && words[1] == "list") {
        property.countType = typeNamed(words[2]);
        property.type = typeNamed(words[3]);
        property.name = std::string(words[4]);
        if (property.countType < 0 || kTypes[property.countType].isFloat || property.type < 0) {
            error = here + "a list property needs an integer count type and a known type";
            return false;
        }
    } else if (words.size() == 3) {
        property.type = typeNamed(words[1]);
        property.name = std::string(words[2]);
        if (property.type < 0) {
            error = here + "unknown property type \"" + std::string(words[1]) + "\"";
            return false;
        }
    } else {
        error = here + "a property line needs a type and a name";
        return false;
    }
    elements_.back().properties.push_back(std::move(property));
    return true;
}

// One header line after the first; `ended` at end_header.
bool PlyDocument::readHeaderLine(std::string_view line, const std::string& here, bool& sawFormat,
                                 bool& ended, std::string& error) {
    const std::vector<std::string_view> words = wordsOf(line);
    if (words.empty()) return true;
    const std::string_view key = words[0];
    if (key == "comment" || key == "obj_info") return true;
    if (key == "end_header") {
        ended = true;
        return true;
    }
    if (key == "format") {
        if (!readFormatLine(words, line, here, error)) return false;
        sawFormat = true;
        return true;
    }
    if (key == "element") return readElementLine(words, here, error);
    if (key == "property") return readPropertyLine(words, here, error);
    error = here + "unknown header line \"" + std::string(line) + "\"";
    return false;
}

// The first vertex element and its x, y and z.
bool PlyDocument::findVertexCoordinates(std::string& error) {
    for (std::size_t e = 0; e < elements_.size(); ++e) {
        if (elements_[e].name != "vertex") continue;
        vertexElement_ = int(e);
        const char* axes[3] = {"x", "y", "z"};
        for (int c = 0; c < 3; ++c) {
            coordinateProperty_[c] = -1;
            const std::vector<Property>& properties = elements_[e].properties;
            for (std::size_t p = 0; p < properties.size(); ++p)
                if (properties[p].name == axes[c]) coordinateProperty_[c] = int(p);
            const int p = coordinateProperty_[c];
            if (p < 0 || properties[p].countType >= 0 ||
                (properties[p].type != kFloat && properties[p].type != kDouble)) {
                error = name_ + ": the vertex element needs " + axes[c] +
                        " as a float or double property";
                return false;
            }
        }
        break;
    }
    if (vertexElement_ < 0 && !elements_.empty()) {
        error = name_ + ": the header declares no vertex element";
        return false;
    }
    return true;
}

bool PlyDocument::parseHeader(std::string& error) {
    elements_.clear();
    vertexElement_ = -1;
    const std::string why = refuses(data_.substr(0, 5));
    if (!why.empty()) {
        error = name_ + ":1: " + why;
        return false;
    }
    std::size_t at = 0;
    int lineNumber = 0;
    bool sawFormat = false;
    for (bool ended = false; !ended;) {
        ++lineNumber;
        const std::string here = name_ + ":" + std::to_string(lineNumber) + ": ";
        const std::size_t end = data_.find('\n', at);
        if (end == std::string_view::npos) {
            error = here + "the header has no end_header line";
            return false;
        }
        const std::string_view line = data_.substr(at, end - at);
        at = end + 1;
        if (lineNumber > 1 && !readHeaderLine(line, here, sawFormat, ended, error)) return false;
    }
    if (!sawFormat) {
        error = name_ + ":2: the header has no format line";
        return false;
    }
    bodyOffset_ = at;
    return findVertexCoordinates(error);
}

bool PlyDocument::parse(std::string& error, const MeshLoadOptions& options) {
    vertexOffsets_.clear();
    if (!parseHeader(error)) return false;
    const std::uint64_t vertices = vertexElement_ < 0 ? 0 : elements_[vertexElement_].count;
    if (vertices > std::uint64_t(INT32_MAX)) {
        error = name_ + ": " + std::to_string(vertices) + " vertices are more than the host takes";
        return false;
    }
    if (!affordable(vertices, options, error)) return false;
    if (!(encoding_ == Encoding::kAscii ? parseAscii(error, options) : parseBinary(error, options)))
        return false;
    if (!positions_.empty()) {
        MeshObject object;
        object.name = fileStem(name_);
        if (object.name.empty()) object.name = "default";
        object.vertices.resize(positions_.size());
        for (std::size_t v = 0; v < positions_.size(); ++v) object.vertices[v] = int(v);
        objects_.push_back(std::move(object));
    }
    return true;
}

// Each record's size if it has no lists (`fixed`), else the size of its scalars.
std::size_t PlyDocument::scalarStride(const Element& element, bool& fixed) {
    fixed = true;
    std::size_t stride = 0;
    for (const Property& property : element.properties) {
        if (property.countType >= 0)
            fixed = false;
        else
            stride += kTypes[property.type].size;
    }
    return stride;
}

// Each record takes at least its scalars and list counts: a header
// promising more than the file can hold is refused before anything is set
// aside for it.
bool PlyDocument::bodyHolds(const Element& element, std::size_t at, bool fixed, std::size_t stride,
                            std::string& error) const {
    std::size_t least = 0;
    for (const Property& property : element.properties)
        least += kTypes[property.countType >= 0 ? property.countType : property.type].size;
    const std::size_t left = data_.size() - at;
    if (least == 0 || element.count <= left / least) return true;
    if (fixed)
        error = binaryError(at + (left / stride) * stride,
                            "the header promises " + std::to_string(element.count) + " " +
                                element.name + " elements of " + std::to_string(stride) +
                                " bytes, but the file ends after " + std::to_string(left / stride));
    else
        error =
            binaryError(at, "the header promises " + std::to_string(element.count) + " " +
                                element.name + " elements of at least " + std::to_string(least) +
                                " bytes, but " + std::to_string(left) + " bytes follow");
    return false;
}

void PlyDocument::setVertexLayout(const Element& element, std::size_t at, bool fixed,
                                  std::size_t stride) {
    positions_.resize(element.count);
    if (!fixed) {
        vertexOffsets_.resize(element.count);
        return;
    }
    vertexBase_ = at;
    vertexStride_ = stride;
    for (int c = 0; c < 3; ++c) {
        std::size_t within = 0;
        for (int p = 0; p < coordinateProperty_[c]; ++p)
            within += kTypes[element.properties[p].type].size;
        coordinateAt_[c] = within;
    }
}

bool PlyDocument::readFixedVertices(const Element& element, std::size_t at, std::size_t stride,
                                    std::string& error, const MeshLoadOptions& options) {
    const bool big = encoding_ == Encoding::kBigEndian;
    for (std::size_t v = 0; v < element.count; ++v) {
        const char* record = data_.data() + at + v * stride;
        MeshPosition& p = positions_[v];
        float* xyz[3] = {&p.x, &p.y, &p.z};
        for (int c = 0; c < 3; ++c)
            *xyz[c] = readCoordinate(record + coordinateAt_[c],
                                     element.properties[coordinateProperty_[c]].type, big);
        if (!std::isfinite(p.x) || !std::isfinite(p.y) || !std::isfinite(p.z)) {
            error = binaryError(at + v * stride,
                                "vertex " + std::to_string(v) + " is not at a finite position");
            return false;
        }
        if (options.progress && (v & 0xFFFFF) == 0xFFFFF)
            options.progress(double(at + v * stride) / double(data_.size()));
    }
    return true;
}

// The vertex indices of face `r`'s list of `items` at `at`, added as an element.
bool PlyDocument::readFaceCorners(const Property& property, std::uint64_t r, std::size_t at,
                                  std::size_t items, std::vector<int>& corners,
                                  std::string& error) {
    const bool big = encoding_ == Encoding::kBigEndian;
    const std::size_t size = kTypes[property.type].size;
    corners.clear();
    for (std::size_t i = 0; i < items; ++i) {
        const double index = readScalar(data_.data() + at + i * size, property.type, big);
        if (!(index >= 0 && index < double(positions_.size())) || kTypes[property.type].isFloat) {
            error = binaryError(at + i * size, "face " + std::to_string(r) + " names vertex " +
                                                   formatFixed(index, 0) + ", but there are " +
                                                   std::to_string(positions_.size()));
            return false;
        }
        corners.push_back(int(index));
    }
    if (!corners.empty()) addElement(kindOf(items), corners.data(), items);
    return true;
}

// Record `r` of `element` at `at`, which is moved past it: a vertex's
// position, a face's corners.
bool PlyDocument::readBinaryRecord(const Element& element, bool isVertex, std::uint64_t r,
                                   std::size_t& at, std::vector<int>& corners, std::string& error) {
    const bool big = encoding_ == Encoding::kBigEndian;
    const bool hasFaces = element.name == "face";
    const std::size_t record = at;
    if (isVertex) vertexOffsets_[r] = record;
    float xyz[3] = {0, 0, 0};
    const auto truncated = [&] {
        error =
            binaryError(at, "the file ends inside " + element.name + " " + std::to_string(r) +
                                " of " + std::to_string(element.count) + " the header promises");
        return false;
    };
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property& property = element.properties[p];
        if (property.countType < 0) {
            const std::size_t size = kTypes[property.type].size;
            if (data_.size() - at < size) return truncated();
            for (int c = 0; c < 3; ++c)
                if (isVertex && int(p) == coordinateProperty_[c])
                    xyz[c] = readCoordinate(data_.data() + at, property.type, big);
            at += size;
            continue;
        }
        const std::size_t countSize = kTypes[property.countType].size;
        if (data_.size() - at < countSize) return truncated();
        const double count = readScalar(data_.data() + at, property.countType, big);
        if (count < 0) {
            error = binaryError(at, "a list of " + formatFixed(count, 0) + " items");
            return false;
        }
        at += countSize;
        const std::size_t items = std::size_t(count);
        const std::size_t size = kTypes[property.type].size;
        if ((data_.size() - at) / size < items) return truncated();
        if (hasFaces && isFaceList(property) &&
            !readFaceCorners(property, r, at, items, corners, error))
            return false;
        at += items * size;
    }
    if (isVertex) {
        if (!std::isfinite(xyz[0]) || !std::isfinite(xyz[1]) || !std::isfinite(xyz[2])) {
            error =
                binaryError(record, "vertex " + std::to_string(r) + " is not at a finite position");
            return false;
        }
        positions_[r] = MeshPosition{xyz[0], xyz[1], xyz[2]};
    }
    return true;
}

bool PlyDocument::parseBinary(std::string& error, const MeshLoadOptions& options) {
    std::size_t at = bodyOffset_;
    for (std::size_t e = 0; e < elements_.size(); ++e) {
        const Element& element = elements_[e];
        const bool isVertex = int(e) == vertexElement_;
        bool fixed = true;
        const std::size_t stride = scalarStride(element, fixed);
        if (!bodyHolds(element, at, fixed, stride, error)) return false;
        if (isVertex) setVertexLayout(element, at, fixed, stride);
        if (fixed && element.name != "face") {
            if (isVertex && !readFixedVertices(element, at, stride, error, options)) return false;
            at += element.count * stride;
            continue;
        }
        std::vector<int> corners;
        for (std::uint64_t r = 0; r < element.count; ++r)
            if (!readBinaryRecord(element, isVertex, r, at, corners, error)) return false;
    }
    return true;
}

bool PlyDocument::parseAscii(std::string& error, const MeshLoadOptions& options) {
    Tokens tokens{data_, bodyOffset_,
                  std::size_t(1 + std::count(data_.begin(),
                                             data_.begin() + std::ptrdiff_t(bodyOffset_), '\n'))};
    std::vector<int> corners;
    for (std::size_t e = 0; e < elements_.size(); ++e) {
        const Element& element = elements_[e];
        const bool isVertex = int(e) == vertexElement_;
        const bool hasFaces = element.name == "face";
        // A record needs at least a character and a separator per property.
        if (element.properties.empty()) continue;
        const std::size_t left = data_.size() - tokens.at;
        if (element.count > (left + 1) / (2 * element.properties.size())) {
            error = lineOf(data_, tokens.at, name_) + ": the header promises " +
                    std::to_string(element.count) + " " + element.name +
                    " elements, but the file has only " + std::to_string(left) + " bytes left";
            return false;
        }
        if (isVertex) {
            positions_.resize(element.count);
            vertexOffsets_.resize(element.count);
        }
        for (std::uint64_t r = 0; r < element.count; ++r) {
            float xyz[3] = {0, 0, 0};
            std::string_view token;
            const auto here = [&] { return name_ + ":" + std::to_string(tokens.line) + ": "; };
            const auto next = [&] {
                if (tokens.next(token)) return true;
                error = here() + "the header promises " + std::to_string(element.count) + " " +
                        element.name + " elements, but the file ends inside element " +
                        std::to_string(r);
                return false;
            };
            for (std::size_t p = 0; p < element.properties.size(); ++p) {
                const Property& property = element.properties[p];
                if (property.countType < 0) {
                    if (!next()) return false;
                    if (isVertex && p == 0)
                        vertexOffsets_[r] = std::size_t(token.data() - data_.data());
                    for (int c = 0; c < 3; ++c) {
                        if (!isVertex || int(p) != coordinateProperty_[c]) continue;
                        bool ok;
                        if (property.type == kFloat) {
                            ok = readFloat(token, xyz[c]) == NumberStatus::kOk;
                        } else {
                            double wide = 0;
                            ok = parseDouble(token, wide);
                            xyz[c] = float(wide);
                            ok = ok && std::isfinite(xyz[c]);
                        }
                        if (!ok) {
                            error = here() + "\"" + std::string(token) + "\" is not a coordinate";
                            return false;
                        }
                    }
                    continue;
                }
                if (!next()) return false;
                if (isVertex && p == 0)
                    vertexOffsets_[r] = std::size_t(token.data() - data_.data());
                std::int64_t count = 0;
                if (!parseInteger(token, count) || count < 0) {
                    error = here() + "\"" + std::string(token) + "\" is not a list length";
                    return false;
                }
                const bool faceList = hasFaces && isFaceList(property);
                corners.clear();
                for (std::int64_t i = 0; i < count; ++i) {
                    if (!next()) return false;
                    if (!faceList) continue;
                    std::int64_t index = 0;
                    if (!parseInteger(token, index) || index < 0 ||
                        index >= std::int64_t(positions_.size())) {
                        error = here() + "face " + std::to_string(r) + " names vertex \"" +
                                std::string(token) + "\", but there are " +
                                std::to_string(positions_.size());
                        return false;
                    }
                    corners.push_back(int(index));
                }
                if (faceList && !corners.empty())
                    addElement(kindOf(corners.size()), corners.data(), corners.size());
            }
            if (isVertex) {
                positions_[r] = MeshPosition{xyz[0], xyz[1], xyz[2]};
                if (options.progress && (r & 0xFFFFF) == 0xFFFFF)
                    options.progress(double(tokens.at) / double(data_.size()));
            }
        }
    }
    return true;
}

std::size_t PlyDocument::recordOffset(int vertex) const {
    if (!vertexOffsets_.empty()) return vertexOffsets_[vertex];
    return vertexBase_ + std::size_t(vertex) * vertexStride_;
}

void PlyDocument::binaryCoordinates(int vertex, std::size_t at[3]) const {
    const Element& element = elements_[vertexElement_];
    if (vertexOffsets_.empty()) {
        for (int c = 0; c < 3; ++c) at[c] = recordOffset(vertex) + coordinateAt_[c];
        return;
    }
    const bool big = encoding_ == Encoding::kBigEndian;
    std::size_t cursor = vertexOffsets_[vertex];
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property& property = element.properties[p];
        for (int c = 0; c < 3; ++c)
            if (int(p) == coordinateProperty_[c]) at[c] = cursor;
        if (property.countType < 0) {
            cursor += kTypes[property.type].size;
        } else {
            const double count = readScalar(data_.data() + cursor, property.countType, big);
            cursor +=
                kTypes[property.countType].size + std::size_t(count) * kTypes[property.type].size;
        }
    }
}

void PlyDocument::asciiCoordinates(std::size_t offset, std::string_view out[3]) const {
    const Element& element = elements_[vertexElement_];
    Tokens tokens{data_, offset, 0};
    std::string_view token;
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        tokens.next(token);
        for (int c = 0; c < 3; ++c)
            if (int(p) == coordinateProperty_[c]) out[c] = token;
        if (element.properties[p].countType < 0) continue;
        std::int64_t count = 0;
        parseInteger(token, count);
        for (std::int64_t i = 0; i < count; ++i) tokens.next(token);
    }
}

MeshPosition PlyDocument::filePosition(int vertex) const {
    float xyz[3] = {0, 0, 0};
    const Element& element = elements_[vertexElement_];
    if (encoding_ == Encoding::kAscii) {
        std::string_view tokens[3];
        asciiCoordinates(vertexOffsets_[vertex], tokens);
        for (int c = 0; c < 3; ++c) {
            if (element.properties[coordinateProperty_[c]].type == kFloat) {
                readFloat(tokens[c], xyz[c]);
            } else {
                double wide = 0;
                parseDouble(tokens[c], wide);
                xyz[c] = float(wide);
            }
        }
    } else {
        std::size_t at[3];
        binaryCoordinates(vertex, at);
        for (int c = 0; c < 3; ++c)
            xyz[c] = readCoordinate(data_.data() + at[c],
                                    element.properties[coordinateProperty_[c]].type,
                                    encoding_ == Encoding::kBigEndian);
    }
    return {xyz[0], xyz[1], xyz[2]};
}

std::string PlyDocument::placeOf(int vertex) const {
    if (encoding_ == Encoding::kAscii) return lineOf(data_, vertexOffsets_[vertex], name_);
    return name_ + ": offset " + std::to_string(recordOffset(vertex));
}

std::string PlyDocument::bytes() const {
    const int count = vertexCount();
    if (encoding_ == Encoding::kAscii) {
        std::vector<BytePatch> patches;
        for (int v = 0; v < count; ++v) {
            const MeshPosition file = filePosition(v);
            if (samePositionBits(file, positions_[v])) continue;
            std::string_view tokens[3];
            asciiCoordinates(vertexOffsets_[v], tokens);
            const float wanted[3] = {positions_[v].x, positions_[v].y, positions_[v].z};
            const float had[3] = {file.x, file.y, file.z};
            for (int c = 0; c < 3; ++c) {
                if (std::memcmp(&wanted[c], &had[c], sizeof(float)) == 0) continue;
                std::string text = coordinateText(tokens[c], wanted[c], numberStyle_);
                if (text.empty()) continue;
                const std::size_t begin = std::size_t(tokens[c].data() - data_.data());
                patches.push_back(BytePatch{begin, begin + tokens[c].size(), std::move(text)});
            }
        }
        return applyPatches(data_, std::move(patches));
    }
    std::string out(data_);
    if (count == 0) return out;
    const Element& element = elements_[vertexElement_];
    for (int v = 0; v < count; ++v) {
        const MeshPosition file = filePosition(v);
        if (samePositionBits(file, positions_[v])) continue;
        std::size_t at[3];
        binaryCoordinates(v, at);
        const float wanted[3] = {positions_[v].x, positions_[v].y, positions_[v].z};
        const float had[3] = {file.x, file.y, file.z};
        for (int c = 0; c < 3; ++c)
            if (std::memcmp(&wanted[c], &had[c], sizeof(float)) != 0)
                storeCoordinate(&out[at[c]], element.properties[coordinateProperty_[c]].type,
                                encoding_ == Encoding::kBigEndian, wanted[c]);
    }
    return out;
}

}  // namespace talvexhost

namespace talvexhost {

namespace {

// Writes `value` as a scalar of `type` in the file's byte order; integers
// rounded to the nearest and held to the type's range.
void storeScalar(std::string& out, int type, bool bigEndian, double value) {
    unsigned char raw[8] = {};
    const std::size_t size = kTypes[type].size;
    if (type == kFloat) {
        const float v = static_cast<float>(value);
        std::memcpy(raw, &v, 4);
    } else if (type == kDouble) {
        std::memcpy(raw, &value, 8);
    } else {
        const double bits = double(size * 8 - (kTypes[type].isSigned ? 1 : 0));
        const double most = std::ldexp(1.0, int(bits)) - 1.0;
        const double least = kTypes[type].isSigned ? -most - 1.0 : 0.0;
        const double held = std::min(most, std::max(least, std::nearbyint(value)));
        const std::int64_t whole = static_cast<std::int64_t>(held);
        std::memcpy(raw, &whole, size);  // the low bytes, little-endian
    }
    for (std::size_t i = 0; i < size; ++i)
        out += static_cast<char>(raw[bigEndian ? size - 1 - i : i]);
}

// The largest value `type` holds, for indices and list counts.
double largest(int type) {
    const std::size_t bits = kTypes[type].size * 8 - (kTypes[type].isSigned ? 1 : 0);
    return std::ldexp(1.0, int(bits)) - 1.0;
}

// The leading number of an ASCII list: its count.
double valueOf(std::string_view list) {
    std::size_t end = 0;
    while (end < list.size() && !isSpace(list[end])) ++end;
    std::int64_t count = 0;
    parseInteger(list.substr(0, end), count);
    return double(count);
}

}  // namespace

std::size_t PlyDocument::walkRecord(const Element& element, std::size_t at,
                                    std::vector<Span>& spans) const {
    spans.resize(element.properties.size());
    const bool big = encoding_ == Encoding::kBigEndian;
    if (encoding_ != Encoding::kAscii) {
        for (std::size_t p = 0; p < element.properties.size(); ++p) {
            const Property& property = element.properties[p];
            spans[p].begin = at;
            if (property.countType < 0) {
                at += kTypes[property.type].size;
            } else {
                const double count = readScalar(data_.data() + at, property.countType, big);
                at += kTypes[property.countType].size +
                      std::size_t(count) * kTypes[property.type].size;
            }
            spans[p].end = at;
        }
        return at;
    }
    Tokens tokens{data_, at, 0};
    std::string_view token;
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        tokens.next(token);
        spans[p].begin = std::size_t(token.data() - data_.data());
        if (element.properties[p].countType >= 0) {
            std::int64_t count = 0;
            parseInteger(token, count);
            for (std::int64_t i = 0; i < count; ++i) tokens.next(token);
        }
        spans[p].end = std::size_t(token.data() - data_.data()) + token.size();
    }
    return tokens.at;
}

void PlyDocument::uvProperties(int uv[2]) const {
    uv[0] = uv[1] = -1;
    if (vertexElement_ < 0) return;
    const std::vector<Property>& properties = elements_[std::size_t(vertexElement_)].properties;
    const char* names[][2] = {
        {"s", "t"}, {"u", "v"}, {"texture_u", "texture_v"}, {"texture_s", "texture_t"}};
    for (const auto& pair : names) {
        int found[2] = {-1, -1};
        for (std::size_t p = 0; p < properties.size(); ++p)
            for (int k = 0; k < 2; ++k)
                if (properties[p].name == pair[k] && properties[p].countType < 0) found[k] = int(p);
        if (found[0] >= 0 && found[1] >= 0) {
            uv[0] = found[0];
            uv[1] = found[1];
            return;
        }
    }
}

bool PlyDocument::readForRebuild(HalfMeshInput& input, std::string& error) {
    if (!MeshDocument::readForRebuild(input, error)) return false;
    int uv[2];
    uvProperties(uv);
    if (uv[0] < 0) return true;
    const Element& element = elements_[std::size_t(vertexElement_)];
    const bool big = encoding_ == Encoding::kBigEndian;
    std::vector<Span> spans;
    input.uvs.resize(input.positions.size());
    for (std::size_t v = 0; v < input.positions.size(); ++v) {
        walkRecord(element, recordOffset(int(v)), spans);
        for (int k = 0; k < 2; ++k) {
            const Span& span = spans[std::size_t(uv[k])];
            const int type = element.properties[std::size_t(uv[k])].type;
            double value = 0.0;
            if (encoding_ == Encoding::kAscii)
                parseDouble(data_.substr(span.begin, span.end - span.begin), value);
            else
                value = readScalar(data_.data() + span.begin, type, big);
            input.uvs[v].v[k] = static_cast<float>(value);
        }
        input.uvs[v].v[2] = 0.0f;
    }
    for (EditCorner& corner : input.corners) corner.uv = corner.vertex;
    return true;
}

// The state of writing a rebuilt mesh over this file's own records.
struct PlyDocument::Rebuild {
    Rebuild(const PlyDocument& doc, const HalfMeshResult& rebuilt, const HalfPlane& plane,
            std::string& out);

    void findFaceList();
    void emptyElementsNamingVertices(std::vector<std::string>& notes);
    void locateRecords();
    std::string header() const;
    void findNormals();
    void gatherUvs();
    double valueAt(const Span& span, int type) const;
    void mirrorDirection(double n[3]) const;
    void appendText(std::string_view file, float value);
    void writeVertices();
    void writeVertex(std::size_t v);
    void rebuiltNormal(const EditOrigin& kept, bool mirrored, bool cut, double n[3]) const;
    bool writeFaces(std::string& error);
    bool fitsFaceElement(const Property& list, std::string& error) const;
    void writeFace(const EditElement& face, std::size_t sourceRecord);
    void writeElements(std::string& error, bool& ok);
    void noteEmptiedLists(std::vector<std::string>& notes) const;

    // What one output vertex's record is made from.
    struct VertexSource {
        std::size_t v;
        const EditOrigin* kept;
        bool mirrored;
        bool cut;
        bool asRead;
        bool newNormal;
        double n[3];
    };
    void appendVertexProperty(const VertexSource& source, std::size_t p);
    void appendPlaced(const VertexSource& source, const Property& property, std::string_view file,
                      int coordinate, int direction);
    void appendInterpolated(const VertexSource& source, const Property& property, std::size_t p,
                            std::string_view file);

    const PlyDocument& doc;
    const HalfMeshResult& rebuilt;
    const HalfMeshInput& mesh;
    const HalfPlane& plane;
    std::string& out;
    const bool ascii;
    const bool big;
    const bool textMirror;
    std::string lineEnd;
    int faceElement = -1;
    int faceList = -1;
    std::vector<bool> emptied;
    // Where every vertex and face record starts, and each other element's
    // records as a whole; the face records that are elements (a list of no
    // vertices is none).
    std::vector<std::size_t> vertexStart;
    std::vector<std::size_t> faceStart;
    std::vector<int> faceOfElement;
    std::vector<Span> blocks;
    std::vector<Span> spans;
    std::vector<Span> other;
    std::string record;
    const Element* vertices = nullptr;
    int normal[3] = {-1, -1, -1};
    bool hasNormals = false;
    int uv[2] = {-1, -1};
    std::vector<int> uvOf;
    int emptiedLists = 0;
};

PlyDocument::Rebuild::Rebuild(const PlyDocument& document, const HalfMeshResult& result,
                              const HalfPlane& mirror, std::string& bytes)
    : doc(document),
      rebuilt(result),
      mesh(result.mesh),
      plane(mirror),
      out(bytes),
      ascii(document.encoding_ == Encoding::kAscii),
      big(document.encoding_ == Encoding::kBigEndian),
      textMirror(mirror.axis >= 0 && mirror.offset == 0.0),
      lineEnd(document.data_.substr(0, document.bodyOffset_).find("\r\n") != std::string_view::npos
                  ? "\r\n"
                  : "\n") {}

// A face element without a vertex list holds no faces: kept as it is.
void PlyDocument::Rebuild::findFaceList() {
    const std::vector<Element>& elements = doc.elements_;
    for (std::size_t e = 0; e < elements.size(); ++e)
        if (elements[e].name == "face" && faceElement < 0) faceElement = int(e);
    if (faceElement >= 0)
        for (std::size_t p = 0; p < elements[faceElement].properties.size(); ++p)
            if (faceList < 0 && isFaceList(elements[faceElement].properties[p])) faceList = int(p);
    if (faceList < 0) faceElement = -1;
}

// Elements besides the vertices and faces whose records name vertices by
// number (edges) would name the wrong ones: they are written with none.
void PlyDocument::Rebuild::emptyElementsNamingVertices(std::vector<std::string>& notes) {
    const std::vector<Element>& elements = doc.elements_;
    emptied.assign(elements.size(), false);
    for (std::size_t e = 0; e < elements.size(); ++e) {
        if (int(e) == doc.vertexElement_ || int(e) == faceElement || elements[e].count == 0)
            continue;
        for (const Property& property : elements[e].properties)
            if (property.name.compare(0, 6, "vertex") == 0) emptied[e] = true;
        if (emptied[e])
            notes.push_back(std::to_string(elements[e].count) + " " + elements[e].name +
                            " elements dropped: they name vertices by number");
    }
}

void PlyDocument::Rebuild::locateRecords() {
    blocks.assign(doc.elements_.size(), Span{0, 0});
    std::size_t at = doc.bodyOffset_;
    for (std::size_t e = 0; e < doc.elements_.size(); ++e) {
        const Element& element = doc.elements_[e];
        std::vector<std::size_t>* starts = int(e) == doc.vertexElement_ ? &vertexStart
                                           : int(e) == faceElement      ? &faceStart
                                                                        : nullptr;
        blocks[e].begin = at;
        bool firstToken = true;
        for (std::uint64_t r = 0; r < element.count && !element.properties.empty(); ++r) {
            if (starts != nullptr) starts->push_back(at);
            at = doc.walkRecord(element, at, spans);
            if (ascii && firstToken) blocks[e].begin = spans[0].begin;
            firstToken = false;
            if (int(e) == faceElement && faceList >= 0) {
                const Span& list = spans[std::size_t(faceList)];
                const int countType = element.properties[std::size_t(faceList)].countType;
                const double count =
                    ascii ? valueOf(doc.data_.substr(list.begin, list.end - list.begin))
                          : readScalar(doc.data_.data() + list.begin, countType, big);
                if (count > 0) faceOfElement.push_back(int(r));
            }
        }
        blocks[e].end =
            ascii && element.count > 0 && !element.properties.empty() ? spans.back().end : at;
    }
}

// The header, its counts changed.
std::string PlyDocument::Rebuild::header() const {
    std::string text;
    std::size_t at = 0;
    int element = -1;
    while (at < doc.bodyOffset_) {
        std::size_t end = doc.data_.find('\n', at);
        end = end == std::string_view::npos || end >= doc.bodyOffset_ ? doc.bodyOffset_ : end + 1;
        const std::string_view line = doc.data_.substr(at, end - at);
        at = end;
        const std::vector<std::string_view> words = wordsOf(line);
        if (words.size() == 3 && words[0] == "element") {
            ++element;
            std::uint64_t count = doc.elements_[element].count;
            if (element == doc.vertexElement_) count = mesh.positions.size();
            if (element == faceElement) count = mesh.elements.size();
            if (emptied[element]) count = 0;
            text += "element " + std::string(words[1]) + " " + std::to_string(count) + lineEnd;
            continue;
        }
        text += line;
    }
    return text;
}

void PlyDocument::Rebuild::findNormals() {
    vertices = doc.vertexElement_ >= 0 ? &doc.elements_[doc.vertexElement_] : nullptr;
    if (vertices != nullptr) {
        const char* names[3] = {"nx", "ny", "nz"};
        for (std::size_t p = 0; p < vertices->properties.size(); ++p)
            for (int k = 0; k < 3; ++k)
                if (vertices->properties[p].name == names[k] &&
                    vertices->properties[p].countType < 0 &&
                    kTypes[vertices->properties[p].type].isFloat)
                    normal[k] = int(p);
    }
    hasNormals = normal[0] >= 0 && normal[1] >= 0 && normal[2] >= 0;
}

// Each vertex's texture coordinates from its corners, the kept faces'
// first: a seam vertex both halves share keeps the kept half's.
void PlyDocument::Rebuild::gatherUvs() {
    doc.uvProperties(uv);
    uvOf.assign(mesh.positions.size(), -1);
    if (uv[0] < 0 || mesh.uvs.empty()) return;
    for (std::size_t e = 0; e < mesh.elements.size(); ++e) {
        const EditElement& element = mesh.elements[e];
        for (int k = 0; k < element.count; ++k) {
            const EditCorner& corner = mesh.corners[std::size_t(element.first + k)];
            if (corner.uv >= 0 && uvOf[std::size_t(corner.vertex)] < 0)
                uvOf[std::size_t(corner.vertex)] = corner.uv;
        }
    }
}

double PlyDocument::Rebuild::valueAt(const Span& span, int type) const {
    if (!ascii) return readScalar(doc.data_.data() + span.begin, type, big);
    double value = 0.0;
    parseDouble(doc.data_.substr(span.begin, span.end - span.begin), value);
    return value;
}

void PlyDocument::Rebuild::mirrorDirection(double n[3]) const {
    if (plane.axis >= 0) {
        n[plane.axis] = 0.0 - n[plane.axis];
        return;
    }
    const double d = plane.normal[0] * n[0] + plane.normal[1] * n[1] + plane.normal[2] * n[2];
    for (int k = 0; k < 3; ++k) n[k] -= 2.0 * d * plane.normal[k];
}

// `value` written in the style of the file's token, or the token if that fails.
void PlyDocument::Rebuild::appendText(std::string_view file, float value) {
    const std::string fresh = coordinateText(file, value, doc.numberStyle_);
    record += fresh.empty() ? std::string(file) : fresh;
}

void PlyDocument::Rebuild::writeVertices() {
    for (std::size_t v = 0; v < mesh.positions.size(); ++v) writeVertex(v);
}

// The normal, mirrored or interpolated.
void PlyDocument::Rebuild::rebuiltNormal(const EditOrigin& kept, bool mirrored, bool cut,
                                         double n[3]) const {
    for (int k = 0; k < 3; ++k) {
        const int p = normal[k];
        n[k] = valueAt(spans[std::size_t(p)], vertices->properties[std::size_t(p)].type);
        if (cut)
            n[k] +=
                kept.t *
                (valueAt(other[std::size_t(p)], vertices->properties[std::size_t(p)].type) - n[k]);
    }
    if (cut) {
        const double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
        if (length > 0.0)
            for (int k = 0; k < 3; ++k) n[k] /= length;
    }
    if (mirrored) mirrorDirection(n);
}

void PlyDocument::Rebuild::writeVertex(std::size_t v) {
    const EditOrigin& origin = rebuilt.positionOrigins[v];
    const EditOrigin& kept = origin.kind == EditOrigin::kMirror
                                 ? rebuilt.positionOrigins[std::size_t(origin.index)]
                                 : origin;
    VertexSource source{v,
                        &kept,
                        origin.kind == EditOrigin::kMirror,
                        kept.kind == EditOrigin::kCut,
                        kept.kind == EditOrigin::kKept && !kept.moved,
                        false,
                        {0, 0, 0}};
    doc.walkRecord(*vertices, vertexStart[std::size_t(kept.index)], spans);
    if (source.cut) doc.walkRecord(*vertices, vertexStart[std::size_t(kept.other)], other);
    source.newNormal = hasNormals && (source.mirrored || source.cut);
    if (source.newNormal) rebuiltNormal(kept, source.mirrored, source.cut, source.n);
    record.clear();
    for (std::size_t p = 0; p < vertices->properties.size(); ++p) {
        if (ascii && p > 0) record += ' ';
        appendVertexProperty(source, p);
    }
    out += record;
    if (ascii) out += lineEnd;
}

void PlyDocument::Rebuild::appendVertexProperty(const VertexSource& source, std::size_t p) {
    const Property& property = vertices->properties[p];
    const std::string_view file = doc.data_.substr(spans[p].begin, spans[p].end - spans[p].begin);
    int coordinate = -1;
    int direction = -1;
    for (int k = 0; k < 3; ++k) {
        if (int(p) == doc.coordinateProperty_[k]) coordinate = k;
        if (source.newNormal && int(p) == normal[k]) direction = k;
    }
    if (coordinate >= 0 || direction >= 0) {
        appendPlaced(source, property, file, coordinate, direction);
        return;
    }
    const int texture = int(p) == uv[0] ? 0 : int(p) == uv[1] ? 1 : -1;
    if (texture >= 0 && source.mirrored && uvOf[source.v] >= 0) {
        // The mirrored face's own, which --mirror-uv changes.
        const float value = mesh.uvs[std::size_t(uvOf[source.v])].v[texture];
        if (!ascii)
            storeScalar(record, property.type, big, value);
        else
            appendText(file, value);
        return;
    }
    if (!source.cut || property.countType >= 0) {
        record += file;
        return;
    }
    appendInterpolated(source, property, p, file);
}

// A coordinate or a rebuilt normal's component.
void PlyDocument::Rebuild::appendPlaced(const VertexSource& source, const Property& property,
                                        std::string_view file, int coordinate, int direction) {
    const double value =
        coordinate >= 0 ? double(mesh.positions[source.v].v[coordinate]) : source.n[direction];
    if (!ascii) {
        storeScalar(record, property.type, big,
                    property.type == kFloat ? double(float(value)) : value);
        // Unmoved doubles keep their bits.
        if (coordinate >= 0 && source.asRead && !source.mirrored)
            record.replace(record.size() - file.size(), file.size(), file);
    } else if (coordinate >= 0 && source.asRead && (!source.mirrored || coordinate != plane.axis)) {
        record += file;
    } else if (coordinate >= 0 && source.asRead && textMirror) {
        appendNegated(file, record);
    } else {
        appendText(file, static_cast<float>(value));
    }
}

// Interpolated along the cut edge.
void PlyDocument::Rebuild::appendInterpolated(const VertexSource& source, const Property& property,
                                              std::size_t p, std::string_view file) {
    const double a = valueAt(spans[p], property.type);
    const double b = valueAt(other[p], property.type);
    const double value = a + source.kept->t * (b - a);
    if (!ascii) {
        storeScalar(record, property.type, big, value);
    } else if (kTypes[property.type].isFloat) {
        appendText(file, static_cast<float>(value));
    } else {
        const double most = largest(property.type);
        const double least = kTypes[property.type].isSigned ? -most - 1.0 : 0.0;
        record += std::to_string(
            static_cast<std::int64_t>(std::min(most, std::max(least, std::nearbyint(value)))));
    }
}

bool PlyDocument::Rebuild::fitsFaceElement(const Property& list, std::string& error) const {
    if (double(mesh.positions.size()) - 1.0 > largest(list.type)) {
        error = doc.name_ + ": the rebuilt mesh has " + std::to_string(mesh.positions.size()) +
                " vertices, more than the face element's " + kTypes[list.type].name +
                " indices can name";
        return false;
    }
    return true;
}

bool PlyDocument::Rebuild::writeFaces(std::string& error) {
    const Property& list =
        doc.elements_[std::size_t(faceElement)].properties[std::size_t(faceList)];
    if (!fitsFaceElement(list, error)) return false;
    for (std::size_t e = 0; e < mesh.elements.size(); ++e) {
        const EditElement& face = mesh.elements[e];
        if (double(face.count) > largest(list.countType)) {
            error = doc.name_ + ": a rebuilt face has " + std::to_string(face.count) +
                    " corners, more than the face element's " + kTypes[list.countType].name +
                    " count can hold";
            return false;
        }
        writeFace(face, std::size_t(faceOfElement[std::size_t(rebuilt.elementSources[e])]));
    }
    return true;
}

void PlyDocument::Rebuild::writeFace(const EditElement& face, std::size_t sourceRecord) {
    const Element& element = doc.elements_[std::size_t(faceElement)];
    doc.walkRecord(element, faceStart[sourceRecord], spans);
    record.clear();
    for (std::size_t p = 0; p < element.properties.size(); ++p) {
        const Property& property = element.properties[p];
        if (ascii && p > 0) record += ' ';
        if (int(p) == faceList) {
            if (ascii) {
                record += std::to_string(face.count);
                for (int k = 0; k < face.count; ++k)
                    record +=
                        ' ' + std::to_string(mesh.corners[std::size_t(face.first + k)].vertex);
            } else {
                storeScalar(record, property.countType, big, face.count);
                for (int k = 0; k < face.count; ++k)
                    storeScalar(record, property.type, big,
                                mesh.corners[std::size_t(face.first + k)].vertex);
            }
        } else if (property.countType >= 0) {
            ++emptiedLists;
            if (ascii)
                record += '0';
            else
                storeScalar(record, property.countType, big, 0);
        } else {
            record += doc.data_.substr(spans[p].begin, spans[p].end - spans[p].begin);
        }
    }
    out += record;
    if (ascii) out += lineEnd;
}

void PlyDocument::Rebuild::writeElements(std::string& error, bool& ok) {
    ok = true;
    for (std::size_t e = 0; e < doc.elements_.size(); ++e) {
        if (int(e) == doc.vertexElement_) {
            writeVertices();
        } else if (int(e) == faceElement) {
            if (!writeFaces(error)) {
                ok = false;
                return;
            }
        } else if (!emptied[e] && blocks[e].end > blocks[e].begin) {
            out += doc.data_.substr(blocks[e].begin, blocks[e].end - blocks[e].begin);
            if (ascii) out += lineEnd;
        }
    }
}

void PlyDocument::Rebuild::noteEmptiedLists(std::vector<std::string>& notes) const {
    if (emptiedLists == 0) return;
    std::string names;
    for (const Property& property : doc.elements_[std::size_t(faceElement)].properties)
        if (property.countType >= 0 && !isFaceList(property))
            names += (names.empty() ? "" : ", ") + property.name;
    notes.push_back("the faces' " + names +
                    " lists written empty: their values follow corners the rebuild moved");
}

bool PlyDocument::rebuiltBytes(const HalfMeshResult& rebuilt, const HalfPlane& plane,
                               std::string& out, std::vector<std::string>& notes,
                               std::string& error) const {
    Rebuild rebuild(*this, rebuilt, plane, out);
    rebuild.findFaceList();
    rebuild.emptyElementsNamingVertices(notes);
    if (rebuild.faceElement < 0 && !rebuilt.mesh.elements.empty()) {
        error = name_ + ": the rebuilt mesh has faces, but the file declares no face element";
        return false;
    }
    rebuild.locateRecords();
    out = rebuild.header();
    rebuild.findNormals();
    rebuild.gatherUvs();
    bool ok = true;
    rebuild.writeElements(error, ok);
    if (!ok) return false;
    rebuild.noteEmptiedLists(notes);
    return true;
}

}  // namespace talvexhost
