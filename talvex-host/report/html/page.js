// The page's own script: decodes the report the host embedded, draws the
// mesh coloured as check's picture colours it, and ties the ranked table,
// the picking and the view buttons together. Talks to nothing outside the
// page; a test drives it through the same buttons and rows a person clicks.
(function () {
  'use strict';

  // Milliseconds from the page's start to each stage, for people and tests
  // asking where a large page spends its time.
  const times = {};
  const mark = function (stage) { times[stage] = Math.round(performance.now()); };
  const data = JSON.parse(document.getElementById('talvex-data').textContent);
  mark('parsed');
  const report = data.report;
  const arrays = data.arrays;

  // --- Decoding ---------------------------------------------------------

  function bytesOf(base64) {
    const text = atob(base64);
    const bytes = new Uint8Array(text.length);
    for (let i = 0; i < text.length; ++i) bytes[i] = text.charCodeAt(i);
    return bytes;
  }

  // Unsigned LEB128 numbers; arithmetic rather than shifts, since a value
  // may need all 32 bits. Counted first, so a million of them go straight
  // into one typed array.
  function varints(base64) {
    const bytes = bytesOf(base64);
    let count = 0;
    for (let i = 0; i < bytes.length; ++i) count += bytes[i] < 128 ? 1 : 0;
    const values = new Float64Array(count);
    let value = 0;
    let scale = 1;
    let n = 0;
    for (let i = 0; i < bytes.length; ++i) {
      const b = bytes[i];
      value += (b & 127) * scale;
      if (b < 128) {
        values[n++] = value;
        value = 0;
        scale = 1;
      } else {
        scale *= 128;
      }
    }
    return values;
  }

  function unzigzag(u) {
    return u % 2 === 0 ? u / 2 : -(u + 1) / 2;
  }

  // A list of vertex indices, each stored as the change from the one before.
  function deltaList(base64) {
    const raw = varints(base64);
    const out = new Uint32Array(raw.length);
    let at = 0;
    for (let i = 0; i < raw.length; ++i) {
      at += unzigzag(raw[i]);
      out[i] = at;
    }
    return out;
  }

  const positions = new Float32Array(bytesOf(arrays.positions).buffer);
  const vertexCount = positions.length / 3;
  const numbers = deltaList(arrays.numbers);
  const pairList = deltaList(arrays.pairs);  // starter, partner, starter, ...
  const deviations = new Float64Array(bytesOf(arrays.deviations).buffer);
  const offPlane = deltaList(arrays.offPlane);
  const nearPlane = deltaList(arrays.nearPlane);
  const onPlane = deltaList(arrays.onPlane);
  const pairCount = pairList.length / 2;
  const deviatingCount = deviations.length;

  // Each vertex's pair (index into the ranked list), or -1.
  const pairOf = new Int32Array(vertexCount).fill(-1);
  for (let p = 0; p < pairCount; ++p) {
    pairOf[pairList[2 * p]] = p;
    pairOf[pairList[2 * p + 1]] = p;
  }
  const unpairedKind = new Uint8Array(vertexCount);  // 1 off, 2 near, 3 on the plane
  offPlane.forEach(function (v) { unpairedKind[v] = 1; });
  nearPlane.forEach(function (v) { unpairedKind[v] = 2; });
  onPlane.forEach(function (v) { unpairedKind[v] = 3; });

  // The polygons as corner lists: each one's corner count, then its corners.
  function decodePolygons() {
    const raw = varints(arrays.faces);
    let at = 0;
    for (let i = 0; i < raw.length;) {
      const n = raw[i++];
      for (let k = 0; k < n; ++k, ++i) {
        at += unzigzag(raw[i]);
        raw[i] = at;
      }
    }
    return raw;
  }

  // The polygons as triangle fans, or (edges) as their sides.
  function polygonIndices(polygons, IndexArray, edges) {
    let count = 0;
    for (let i = 0; i < polygons.length; i += polygons[i] + 1)
      count += edges ? 2 * polygons[i] : 3 * Math.max(0, polygons[i] - 2);
    const out = new IndexArray(count);
    let o = 0;
    for (let i = 0; i < polygons.length; i += polygons[i] + 1) {
      const n = polygons[i];
      const first = polygons[i + 1];
      for (let k = 1; k < n; ++k) {
        if (edges) {
          out[o++] = polygons[i + k];
          out[o++] = polygons[i + k + 1];
        } else if (k >= 2) {
          out[o++] = first;
          out[o++] = polygons[i + k];
          out[o++] = polygons[i + k + 1];
        }
      }
      if (edges) {
        out[o++] = polygons[i + n];
        out[o++] = first;
      }
    }
    return out;
  }

  // --- Numbers as the report prints them ---------------------------------

  // The shortest text that reads back as the same float, as the JSON gives
  // positions.
  function floatText(f) {
    for (let digits = 1; digits <= 9; ++digits) {
      const text = f.toPrecision(digits);
      if (Math.fround(Number(text)) === f) return String(Number(text));
    }
    return String(f);
  }

  function fixed(value, digits) {
    return Number(value).toFixed(digits);
  }

  function significant(value) {
    return value === 0 ? '0' : String(Number(value.toPrecision(6)));
  }

  function positionText(v) {
    return '(' + floatText(positions[3 * v]) + ', ' + floatText(positions[3 * v + 1]) + ', ' +
           floatText(positions[3 * v + 2]) + ')';
  }

  // --- Geometry of the plane ---------------------------------------------

  const axis = 'xyz'.indexOf(report.plane.axis);
  const normal = data.plane.normal.slice();
  const pivot = data.plane.pivot;
  const normalLength = Math.hypot(normal[0], normal[1], normal[2]);
  const unitNormal = normal.map(function (c) { return c / normalLength; });

  // Signed distance from the plane, positive on the side of the plane axis'
  // larger coordinates, as the report measures it.
  function planeDistance(v) {
    let along = 0;
    for (let c = 0; c < 3; ++c) along += unitNormal[c] * (positions[3 * v + c] - pivot[c]);
    return normal[axis] < 0 ? -along : along;
  }

  // --- Colours, as check's picture has them -------------------------------

  const colours = data.colours;

  function rampColour(t) {
    const stops = colours.ramp;
    const last = stops.length - 1;
    const at = Math.min(Math.max(isFinite(t) ? t : 1, 0), 1) * last;
    const i = Math.min(Math.floor(at), last - 1);
    const f = at - i;
    return [0, 1, 2].map(function (c) { return stops[i][c] + (stops[i + 1][c] - stops[i][c]) * f; });
  }

  function deviationColour(deviation) {
    if (!(deviation > report.minDeviation)) return colours.symmetric;
    return rampColour(data.rampTop > 0 ? deviation / data.rampTop : 1);
  }

  function css(rgb) {
    return 'rgb(' + rgb.map(function (c) { return Math.round(c * 255); }).join(',') + ')';
  }

  // Flagged vertices and their colours in the picture's order, so later
  // entries win as there.
  const flaggedCount = 2 * deviatingCount + offPlane.length + nearPlane.length;
  const flagged = new Uint32Array(flaggedCount);
  const flaggedColours = new Float32Array(3 * flaggedCount);
  {
    let f = 0;
    const add = function (v, c) {
      flagged[f] = v;
      flaggedColours.set(c, 3 * f++);
    };
    for (let p = 0; p < deviatingCount; ++p) {
      const c = deviationColour(deviations[p]);
      add(pairList[2 * p], c);
      add(pairList[2 * p + 1], c);
    }
    offPlane.forEach(function (v) { add(v, colours.unpaired); });
    nearPlane.forEach(function (v) { add(v, colours.nearPlane); });
  }
  // Few markers show through the mesh; many are drawn only where visible.
  const markersThroughMesh = flaggedCount <= data.markersThroughMesh;

  // --- Text of the page ---------------------------------------------------

  const summary = report.summary;
  const advice = report.advice;

  function paragraph(parent, text) {
    const p = document.createElement('p');
    p.textContent = text;
    parent.appendChild(p);
    return p;
  }

  function fillText() {
    document.title = 'Asymmetry of ' + data.caption[0];
    document.getElementById('title').textContent = 'Asymmetry of ' + data.caption[0];
    const box = document.getElementById('summary');
    paragraph(box, 'symmetry score ' + fixed(summary.score, 4));
    paragraph(box, 'plane ' + report.plane.spec + ', tolerance ' + floatText(report.tolerance.value) +
                       ' (' + report.tolerance.from + ')');
    paragraph(box, summary.vertices + ' vertices; ' + summary.pairs + ' pairs, ' +
                       summary.deviatingPairs + ' deviating by more than ' +
                       significant(report.minDeviation));
    paragraph(box, 'unpaired: ' + summary.unpaired + ' (' + summary.offPlane + ' off the plane, ' +
                       summary.nearPlane + ' near it); ' + summary.onPlane + ' on the plane');
    paragraph(box, 'largest deviation ' + significant(summary.maxDeviation) + ', mean ' +
                       significant(summary.meanDeviation) + ', RMS ' +
                       significant(summary.rmsDeviation));
    paragraph(box, 'suggested tolerance ' + significant(advice.suggested) +
                       (advice.reason ? ': ' + advice.reason : ''));
    if (summary.ambiguous > 0)
      paragraph(box, summary.ambiguous + ' ambiguous pairs (a starter with several candidates)');
    if (data.drawing.facesDrawn < data.drawing.faces) {
      paragraph(box, 'The drawing shows ' + data.drawing.facesDrawn + ' of the ' +
                         data.drawing.faces + ' faces, to keep the page small; ' +
                         'every vertex, marker and table row is there.')
          .id = 'decimated';
    }

    document.getElementById('ramp').style.background =
        'linear-gradient(to right, ' + colours.ramp.map(css).join(', ') + ')';
    document.getElementById('ramp-mid').textContent = data.legend.mid;
    document.getElementById('ramp-high').textContent = data.legend.high;
    document.getElementById('swatch-unpaired').style.background = css(colours.unpaired);
    document.getElementById('swatch-near').style.background = css(colours.nearPlane);
    document.getElementById('swatch-symmetric').style.background = css(colours.symmetric);
    document.getElementById('swatch-symmetric-text').textContent =
        'within ' + data.legend.minDeviation + ' of mirror';
    document.getElementById('credits').textContent = data.credits;
  }

  function setCaption(viewName) {
    document.getElementById('caption').textContent =
        data.caption.join('\n') + '\nview: ' + viewName;
  }

  // --- The ranked table ---------------------------------------------------

  // Rows: the deviating pairs by rank, then the unpaired vertices off the
  // plane, then those near it.
  const rowCount = deviatingCount + offPlane.length + nearPlane.length;
  const rowsPerPage = 200;
  let rowsShown = 0;
  let selectedRow = null;

  function rowTarget(r) {
    if (r < deviatingCount) return {pair: r, vertices: [pairList[2 * r], pairList[2 * r + 1]]};
    const u = r - deviatingCount;
    const v = u < offPlane.length ? offPlane[u] : nearPlane[u - offPlane.length];
    return {pair: -1, vertices: [v]};
  }

  function addRow(body, r) {
    const tr = document.createElement('tr');
    tr.dataset.row = r;
    const target = rowTarget(r);
    let cells;
    if (target.pair >= 0) {
      cells = [r + 1, 'pair', numbers[target.vertices[0]], numbers[target.vertices[1]],
               significant(deviations[r])];
    } else {
      const v = target.vertices[0];
      cells = ['', unpairedKind[v] === 1 ? 'unpaired' : 'unpaired, near the plane', numbers[v], '',
               ''];
    }
    cells.forEach(function (text) {
      const td = document.createElement('td');
      td.textContent = text;
      tr.appendChild(td);
    });
    tr.addEventListener('click', function () { selectRow(r, tr); });
    body.appendChild(tr);
  }

  function showMoreRows() {
    const body = document.querySelector('#ranked tbody');
    const end = Math.min(rowCount, rowsShown + rowsPerPage);
    for (let r = rowsShown; r < end; ++r) addRow(body, r);
    rowsShown = end;
    const more = document.getElementById('more');
    more.hidden = rowsShown >= rowCount;
    more.textContent = 'show more (' + (rowCount - rowsShown) + ' rows left)';
  }

  // --- What a pick or a row shows ----------------------------------------

  function describeVertex(v) {
    const lines = ['vertex ' + numbers[v] + ' at ' + positionText(v)];
    const p = pairOf[v];
    if (p >= 0) {
      const partner = pairList[2 * p] === v ? pairList[2 * p + 1] : pairList[2 * p];
      const how = p < deviatingCount ?
          'deviation ' + significant(deviations[p]) + ' (rank ' + (p + 1) + ')' :
          'within ' + data.legend.minDeviation + ' of mirror';
      lines.push('partner ' + numbers[partner] + ', ' + how);
    } else {
      const kinds = ['unpaired', 'unpaired, off the plane', 'unpaired, near the plane',
                     'on the plane'];
      lines.push(kinds[unpairedKind[v]] + ', ' + significant(planeDistance(v)) +
                 ' from the plane');
    }
    return lines.join('\n');
  }

  function showPicked(vertices, heading) {
    const box = document.getElementById('picked');
    box.textContent = '';
    if (heading) paragraph(box, heading);
    vertices.forEach(function (v) { paragraph(box, describeVertex(v)).style.whiteSpace = 'pre-line'; });
    document.body.dataset.selected = vertices.map(function (v) { return numbers[v]; }).join(',');
    if (view) view.highlight(vertices);
  }

  function selectRow(r, tr) {
    if (selectedRow) selectedRow.classList.remove('selected');
    selectedRow = tr;
    tr.classList.add('selected');
    const target = rowTarget(r);
    showPicked(target.vertices, target.pair >= 0 ? 'pair ranked ' + (r + 1) : null);
    if (view) view.flyTo(target.vertices);
  }

  // --- The 3D view ---------------------------------------------------------

  const markerVertexShader = [
    'attribute vec3 markerColour;',
    'uniform float worldSize;',
    'uniform float pixelsPerUnit;',
    'uniform float smallest;',
    'uniform float largest;',
    'varying vec3 colour;',
    'void main() {',
    '  vec4 eye = modelViewMatrix * vec4(position, 1.0);',
    '  gl_Position = projectionMatrix * eye;',
    '  gl_PointSize = clamp(worldSize * pixelsPerUnit / max(-eye.z, 1e-6), smallest, largest);',
    '  colour = markerColour;',
    '}'].join('\n');
  // A disc with a darker rim, so a marker stands out on a surface of its
  // own colour; a ring (for the selection) leaves its middle open.
  const markerFragmentShader = [
    'uniform float ring;',
    'varying vec3 colour;',
    'void main() {',
    '  float r = length(gl_PointCoord - vec2(0.5));',
    '  if (r > 0.5 || (ring > 0.5 && r < 0.3)) discard;',
    '  gl_FragColor = vec4(r > 0.4 ? colour * 0.45 : colour, 1.0);',
    '}'].join('\n');

  function makeView() {
    const canvas = document.getElementById('canvas');
    let renderer;
    try {
      renderer = new THREE.WebGLRenderer({canvas: canvas, antialias: true, preserveDrawingBuffer: true});
    } catch (e) {
      const note = document.getElementById('no-webgl');
      note.hidden = false;
      note.textContent = 'This browser gives the page no WebGL, so the model cannot be drawn; ' +
                         'the summary and the table are complete.';
      return null;
    }
    renderer.setPixelRatio(window.devicePixelRatio || 1);
    renderer.setClearColor(0xf4f5f7);

    const upVector = data.up === 'z' ? new THREE.Vector3(0, 0, 1) : new THREE.Vector3(0, 1, 0);
    const scene = new THREE.Scene();
    const camera = new THREE.PerspectiveCamera(30, 1, 0.01, 100);
    camera.up.copy(upVector);
    scene.add(camera);
    scene.add(new THREE.AmbientLight(0xffffff, 0.5));
    const light = new THREE.DirectionalLight(0xffffff, 0.6);
    light.position.set(0.3, 0.5, 1);
    camera.add(light);  // a headlight: the side turned to the viewer is lit

    // The mesh, coloured per vertex.
    const polygons = decodePolygons();
    const IndexArray = vertexCount < 65536 ? Uint16Array : Uint32Array;
    mark('facesDecoded');
    const geometry = new THREE.BufferGeometry();
    geometry.setAttribute('position', new THREE.BufferAttribute(positions, 3));
    const colourArray = new Float32Array(vertexCount * 3);
    for (let v = 0; v < vertexCount; ++v) colourArray.set(colours.symmetric, 3 * v);
    for (let f = 0; f < flaggedCount; ++f) {
      const at = 3 * flagged[f];
      colourArray[at] = flaggedColours[3 * f];
      colourArray[at + 1] = flaggedColours[3 * f + 1];
      colourArray[at + 2] = flaggedColours[3 * f + 2];
    }
    geometry.setAttribute('color', new THREE.BufferAttribute(colourArray, 3));
    geometry.setIndex(new THREE.BufferAttribute(polygonIndices(polygons, IndexArray, false), 1));
    geometry.computeVertexNormals();
    geometry.computeBoundingSphere();
    const surface = new THREE.Mesh(geometry, new THREE.MeshLambertMaterial({
      vertexColors: THREE.VertexColors,
      side: THREE.DoubleSide,
      // Pushed back a little so markers and edges on it are not hidden.
      polygonOffset: true,
      polygonOffsetFactor: 1,
      polygonOffsetUnits: 1,
    }));
    scene.add(surface);
    // A mesh without faces (a point cloud, or lines only) shows its vertices.
    if (geometry.index.count === 0) {
      const cloud = new THREE.BufferGeometry();
      cloud.setAttribute('position', geometry.attributes.position);
      cloud.setAttribute('color', geometry.attributes.color);
      scene.add(new THREE.Points(cloud, new THREE.PointsMaterial(
          {size: 3, sizeAttenuation: false, vertexColors: THREE.VertexColors})));
    }

    const sphere = geometry.boundingSphere;
    const centre = sphere.center.clone();
    const radius = Math.max(sphere.radius, 1e-3);
    camera.near = radius * 0.001;
    camera.far = radius * 100;

    // Wireframe of the polygons' edges, made when first asked for.
    let wireframe = null;
    function wireframeObject() {
      if (!wireframe) {
        const lines = new THREE.BufferGeometry();
        lines.setAttribute('position', new THREE.BufferAttribute(positions, 3));
        lines.setIndex(new THREE.BufferAttribute(polygonIndices(polygons, IndexArray, true), 1));
        wireframe = new THREE.LineSegments(lines, new THREE.LineBasicMaterial(
            {color: new THREE.Color().fromArray(colours.edges), transparent: true, opacity: 0.5}));
        scene.add(wireframe);
      }
      return wireframe;
    }

    // The other half's mirror image: the whole mesh reflected through the
    // plane, ghosted, so each half shows where the other's image lands.
    const reflection = new THREE.Matrix4();
    {
      const n = unitNormal;
      let d = 0;
      for (let c = 0; c < 3; ++c) d += n[c] * pivot[c];
      reflection.set(1 - 2 * n[0] * n[0], -2 * n[0] * n[1], -2 * n[0] * n[2], 2 * d * n[0],
                     -2 * n[1] * n[0], 1 - 2 * n[1] * n[1], -2 * n[1] * n[2], 2 * d * n[1],
                     -2 * n[2] * n[0], -2 * n[2] * n[1], 1 - 2 * n[2] * n[2], 2 * d * n[2],
                     0, 0, 0, 1);
    }
    const ghost = new THREE.Mesh(geometry, new THREE.MeshBasicMaterial(
        {color: 0x3d4a66, transparent: true, opacity: 0.22, depthWrite: false, side: THREE.DoubleSide}));
    ghost.matrixAutoUpdate = false;
    ghost.matrix.copy(reflection);
    ghost.visible = false;
    scene.add(ghost);

    // The plane as a translucent quad across the model, with its rim.
    const planeGroup = new THREE.Group();
    {
      const n = new THREE.Vector3().fromArray(unitNormal);
      const p = new THREE.Vector3().fromArray(pivot);
      const onPlane = centre.clone().sub(n.clone().multiplyScalar(centre.clone().sub(p).dot(n)));
      const helper = Math.abs(n.x) < 0.9 ? new THREE.Vector3(1, 0, 0) : new THREE.Vector3(0, 1, 0);
      const u = new THREE.Vector3().crossVectors(n, helper).normalize().multiplyScalar(radius * 1.1);
      const w = new THREE.Vector3().crossVectors(n, u).normalize().multiplyScalar(radius * 1.1);
      const corners = [u.clone().add(w), u.clone().sub(w), u.clone().negate().sub(w),
                       u.clone().negate().add(w)].map(function (c) { return c.add(onPlane); });
      const quad = new THREE.BufferGeometry().setFromPoints(
          [corners[0], corners[1], corners[2], corners[0], corners[2], corners[3]]);
      planeGroup.add(new THREE.Mesh(quad, new THREE.MeshBasicMaterial({
        color: new THREE.Color().fromArray(colours.plane), transparent: true,
        opacity: colours.planeAlpha, depthWrite: false, side: THREE.DoubleSide})));
      const rim = new THREE.BufferGeometry().setFromPoints(corners.concat([corners[0]]));
      planeGroup.add(new THREE.Line(rim, new THREE.LineBasicMaterial(
          {color: new THREE.Color().fromArray(colours.planeEdge)})));
    }
    scene.add(planeGroup);

    // Markers on the flagged vertices, unlit so red stays red, sized to
    // the mesh's spacing and never smaller than a few pixels.
    function markerMaterial(size, smallest, largest, ring) {
      return new THREE.ShaderMaterial({
        uniforms: {
          worldSize: {value: size},
          pixelsPerUnit: {value: 1},
          smallest: {value: smallest},
          largest: {value: largest},
          ring: {value: ring ? 1 : 0},
        },
        vertexShader: markerVertexShader,
        fragmentShader: markerFragmentShader,
        depthTest: !ring && !markersThroughMesh,
      });
    }
    const spacing = data.edgeLength > 0 ? data.edgeLength : radius / 50;
    const pixelRatio = renderer.getPixelRatio();
    const markerGeometry = new THREE.BufferGeometry();
    {
      const at = new Float32Array(flaggedCount * 3);
      for (let f = 0; f < flaggedCount; ++f) at.set(positions.subarray(3 * flagged[f], 3 * flagged[f] + 3), 3 * f);
      markerGeometry.setAttribute('position', new THREE.BufferAttribute(at, 3));
      markerGeometry.setAttribute('markerColour', new THREE.BufferAttribute(flaggedColours, 3));
    }
    // Few markers are the whole story and must be found at a glance; many
    // would cover the surface they colour.
    const smallestMarker = (markersThroughMesh ? 9 : 4) * pixelRatio;
    const markers = new THREE.Points(markerGeometry,
        markerMaterial(spacing * 0.6, smallestMarker, 16 * pixelRatio, false));
    markers.renderOrder = 2;
    // As in the picture: where vertices lie only a few pixels apart, the
    // faces' colours show the deviations and markers would only roughen them.
    const edgePixels = spacing / Math.max(data.diagonal, 1e-12) * canvas.clientHeight / 1.3;
    markers.visible = markersThroughMesh || Math.min(9, Math.round(edgePixels * 0.6)) >= 4;
    scene.add(markers);

    const selectionGeometry = new THREE.BufferGeometry();
    selectionGeometry.setAttribute('position', new THREE.BufferAttribute(new Float32Array(6), 3));
    selectionGeometry.setAttribute('markerColour',
        new THREE.BufferAttribute(new Float32Array([1, 0.85, 0.1, 1, 0.85, 0.1]), 3));
    selectionGeometry.setDrawRange(0, 0);
    const selection = new THREE.Points(selectionGeometry,
        markerMaterial(spacing * 1.5, 18 * pixelRatio, 40 * pixelRatio, true));
    selection.renderOrder = 3;
    selection.frustumCulled = false;
    scene.add(selection);

    const controls = new THREE.OrbitControls(camera, canvas);
    controls.screenSpacePanning = true;
    controls.target.copy(centre);

    let pending = false;
    function render() {
      pending = false;
      const height = renderer.getDrawingBufferSize(new THREE.Vector2()).y;
      const pixelsPerUnit = height / (2 * Math.tan(camera.fov * Math.PI / 360));
      markers.material.uniforms.pixelsPerUnit.value = pixelsPerUnit;
      selection.material.uniforms.pixelsPerUnit.value = pixelsPerUnit;
      renderer.render(scene, camera);
    }
    function requestRender() {
      if (!pending) {
        pending = true;
        requestAnimationFrame(render);
      }
    }
    controls.addEventListener('change', requestRender);

    function resize() {
      const width = canvas.clientWidth;
      const height = canvas.clientHeight;
      renderer.setSize(width, height, false);
      camera.aspect = width / Math.max(height, 1);
      camera.updateProjectionMatrix();
      requestRender();
    }
    window.addEventListener('resize', resize);

    // Stands the camera at `distance` from the target along `direction`.
    function standAlong(direction, distance) {
      const d = direction.clone().normalize();
      // Straight down the up axis leaves no sideways axis: tilt a hair.
      if (Math.abs(d.dot(upVector)) > 0.9999) {
        d.add(data.up === 'z' ? new THREE.Vector3(0, -0.001, 0) : new THREE.Vector3(0, 0, 0.001));
        d.normalize();
      }
      camera.position.copy(controls.target).add(d.multiplyScalar(distance));
      controls.update();
      requestRender();
    }
    // As far as fits the whole model, with room for the caption and legend.
    const fullDistance = radius / Math.sin(15 * Math.PI / 180) * 1.05 * 1.3;

    function axisVector(a, sign) {
      const v = new THREE.Vector3();
      v.setComponent(a, sign);
      return v;
    }
    // Which side of the plane the flagged vertices lie on: +1, -1 or 0.
    function flaggedSide() {
      let above = 0;
      let below = 0;
      flagged.forEach(function (v) { if (planeDistance(v) > 0) ++above; else ++below; });
      if (above > 0 && below === 0) return 1;
      if (below > 0 && above === 0) return -1;
      return 0;
    }
    const upAxis = data.up === 'z' ? 2 : 1;
    const frontAxis = data.up === 'z' ? 1 : 2;
    const frontSign = data.up === 'z' ? -1 : 1;
    function normalDirection() {
      const side = flaggedSide() || 1;
      const n = new THREE.Vector3().fromArray(unitNormal);
      return n.multiplyScalar((normal[axis] < 0 ? -1 : 1) * side);
    }
    const views = {
      front: function () { return axisVector(frontAxis, frontSign); },
      side: function () { return axisVector(0, 1); },
      top: function () { return axisVector(upAxis, 1); },
      normal: normalDirection,
      // The picture's default turn: 30 degrees round, 20 up.
      persp: function () {
        const az = 30 * Math.PI / 180;
        const el = 20 * Math.PI / 180;
        return data.up === 'z' ?
            new THREE.Vector3(Math.cos(el) * Math.sin(az), -Math.cos(el) * Math.cos(az), Math.sin(el)) :
            new THREE.Vector3(Math.cos(el) * Math.sin(az), Math.sin(el), Math.cos(el) * Math.cos(az));
      },
      // Obliquely at the plane, so both halves show.
      oblique: function () {
        const d = new THREE.Vector3();
        if (axis === upAxis) {
          d.setComponent(frontAxis, frontSign);
          d.setComponent(upAxis, 0.7);
        } else {
          const across = axis === frontAxis ? 0 : frontAxis;
          d.setComponent(across, across === frontAxis ? frontSign : 1);
          d.setComponent(axis, Math.tan(35 * Math.PI / 180));
          d.setComponent(upAxis, 0.35);
        }
        return d;
      },
    };
    const viewNames = {front: 'front', side: 'side', top: 'top', normal: "along the plane's normal",
                       persp: 'persp', oblique: 'oblique'};
    function showView(name) {
      controls.target.copy(centre);
      standAlong(views[name](), fullDistance);
      setCaption(viewNames[name]);
    }

    // Flies to the vertices: the camera keeps its direction and closes in
    // to a few edge lengths around them.
    let flight = null;
    function flyTo(vertices) {
      const box = new THREE.Box3();
      vertices.forEach(function (v) { box.expandByPoint(new THREE.Vector3().fromArray(positions, 3 * v)); });
      const to = box.getCenter(new THREE.Vector3());
      const size = box.getSize(new THREE.Vector3()).length();
      const distance = Math.min(fullDistance, Math.max(spacing * 40, size * 6));
      const direction = camera.position.clone().sub(controls.target).normalize();
      const fromTarget = controls.target.clone();
      const fromPosition = camera.position.clone();
      const toPosition = to.clone().add(direction.multiplyScalar(distance));
      const start = performance.now();
      const duration = 600;
      if (flight) cancelAnimationFrame(flight);
      document.body.dataset.flying = '1';
      function step(now) {
        const t = Math.min(1, (now - start) / duration);
        const s = t * t * (3 - 2 * t);
        controls.target.lerpVectors(fromTarget, to, s);
        camera.position.lerpVectors(fromPosition, toPosition, s);
        controls.update();
        render();
        if (t < 1) {
          flight = requestAnimationFrame(step);
        } else {
          flight = null;
          delete document.body.dataset.flying;
        }
      }
      flight = requestAnimationFrame(step);
    }

    function highlight(vertices) {
      const at = selectionGeometry.attributes.position;
      vertices.forEach(function (v, i) { at.setXYZ(i, positions[3 * v], positions[3 * v + 1], positions[3 * v + 2]); });
      at.needsUpdate = true;
      selectionGeometry.setDrawRange(0, vertices.length);
      requestRender();
    }

    // Where a vertex lands on the canvas, in CSS pixels from its top left.
    function screenOf(v) {
      const p = new THREE.Vector3().fromArray(positions, 3 * v).project(camera);
      return {x: (p.x + 1) / 2 * canvas.clientWidth, y: (1 - p.y) / 2 * canvas.clientHeight,
              inFront: p.z < 1};
    }

    // The vertex under a click: a marker within a few pixels first (unless
    // the surface is nearer than it), else the nearest corner of the face hit.
    const raycaster = new THREE.Raycaster();
    function pick(x, y) {
      const ndc = new THREE.Vector2(x / canvas.clientWidth * 2 - 1, 1 - y / canvas.clientHeight * 2);
      raycaster.setFromCamera(ndc, camera);
      const hits = raycaster.intersectObject(surface);
      const hit = hits.length > 0 ? hits[0] : null;
      let best = -1;
      let bestPixels = 8;
      if (markers.visible) flagged.forEach(function (v) {
        const s = screenOf(v);
        const pixels = Math.hypot(s.x - x, s.y - y);
        if (!s.inFront || pixels >= bestPixels) return;
        const depth = camera.position.distanceTo(new THREE.Vector3().fromArray(positions, 3 * v));
        if (markersThroughMesh || !hit || depth <= hit.distance + spacing * 2) {
          best = v;
          bestPixels = pixels;
        }
      });
      if (best >= 0 || !hit) return best;
      let nearest = -1;
      let nearestDistance = Infinity;
      [hit.face.a, hit.face.b, hit.face.c].forEach(function (v) {
        const d = hit.point.distanceTo(new THREE.Vector3().fromArray(positions, 3 * v));
        if (d < nearestDistance) {
          nearest = v;
          nearestDistance = d;
        }
      });
      return nearest;
    }

    let down = null;
    canvas.addEventListener('pointerdown', function (e) { down = {x: e.clientX, y: e.clientY}; });
    canvas.addEventListener('pointerup', function (e) {
      if (!down || Math.hypot(e.clientX - down.x, e.clientY - down.y) > 4) return;
      const rect = canvas.getBoundingClientRect();
      const v = pick(e.clientX - rect.left, e.clientY - rect.top);
      if (v < 0) return;
      const p = pairOf[v];
      const partner = p < 0 ? -1 : pairList[2 * p] === v ? pairList[2 * p + 1] : pairList[2 * p];
      showPicked(partner >= 0 ? [v, partner] : [v], 'picked');
    });

    function toggle(id, object, apply) {
      const box = document.getElementById(id);
      const set = function () {
        (object ? object() : null).visible = box.checked;
        if (apply) apply(box.checked);
        requestRender();
      };
      box.addEventListener('change', set);
      set();
    }
    // Edges show where they are a few pixels apart, as in the picture.
    document.getElementById('show-wireframe').checked = edgePixels >= 10;
    toggle('show-ghost', function () { return ghost; });
    toggle('show-plane', function () { return planeGroup; });
    const wireframeBox = document.getElementById('show-wireframe');
    const setWireframe = function () {
      if (wireframeBox.checked || wireframe) wireframeObject().visible = wireframeBox.checked;
      requestRender();
    };
    wireframeBox.addEventListener('change', setWireframe);
    setWireframe();
    ['front', 'side', 'top', 'normal'].forEach(function (name) {
      document.getElementById('view-' + name).addEventListener('click', function () { showView(name); });
    });

    mark('sceneBuilt');
    resize();
    showView(data.view || (flaggedSide() !== 0 ? 'normal' : 'oblique'));
    render();
    renderer.getContext().finish();
    mark('drawn');
    return {flyTo: flyTo, highlight: highlight, screenOf: screenOf, render: render};
  }

  fillText();
  setCaption('none');
  document.getElementById('more').addEventListener('click', showMoreRows);
  showMoreRows();
  const view = makeView();
  // For tests and for anyone scripting the page: where a vertex (by its OBJ
  // number) is drawn, and whether the view is up.
  window.talvexPage = {
    times: times,
    screenOfNumber: function (number) {
      const v = numbers.indexOf(number);
      return v < 0 || !view ? null : view.screenOf(v);
    },
  };
  document.body.dataset.ready = view ? 'drawn' : 'no-webgl';
})();
