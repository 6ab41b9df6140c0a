#include "io/gltf/node_transform.h"

#include <cmath>

namespace talvexhost {

Affine identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0};
}

Affine multiply(const Affine& a, const Affine& b) {
    Affine out;
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 4; ++c) {
            double sum = c == 3 ? a[r * 4 + 3] : 0.0;
            for (int k = 0; k < 3; ++k) sum += a[r * 4 + k] * b[k * 4 + c];
            out[r * 4 + c] = sum;
        }
    }
    return out;
}

bool invert(const Affine& m, Affine& out) {
    const double a = m[0], b = m[1], c = m[2], d = m[4], e = m[5], f = m[6], g = m[8], h = m[9],
                 i = m[10];
    const double det = a * (e * i - f * h) - b * (d * i - f * g) + c * (d * h - e * g);
    if (!(std::fabs(det) > 1e-300) || !std::isfinite(det)) return false;
    const double inv[9] = {(e * i - f * h) / det,  -(b * i - c * h) / det, (b * f - c * e) / det,
                           -(d * i - f * g) / det, (a * i - c * g) / det,  -(a * f - c * d) / det,
                           (d * h - e * g) / det,  -(a * h - b * g) / det, (a * e - b * d) / det};
    for (int r = 0; r < 3; ++r) {
        for (int k = 0; k < 3; ++k) out[r * 4 + k] = inv[r * 3 + k];
        out[r * 4 + 3] = -(inv[r * 3] * m[3] + inv[r * 3 + 1] * m[7] + inv[r * 3 + 2] * m[11]);
    }
    return true;
}

bool isIdentity(const Affine& m) {
    return m == identity();
}

MeshPosition transformed(const Affine& m, const MeshPosition& p) {
    const double x = p.x, y = p.y, z = p.z;
    return {float(m[0] * x + m[1] * y + m[2] * z + m[3]),
            float(m[4] * x + m[5] * y + m[6] * z + m[7]),
            float(m[8] * x + m[9] * y + m[10] * z + m[11])};
}

}  // namespace talvexhost
