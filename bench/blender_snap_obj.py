"""Times Blender's "Snap to Symmetry" on an OBJ file, for bench/compare.sh.

    blender -b --factory-startup --python bench/blender_snap_obj.py -- \
        MESH.obj --axis x --threshold 0.02 --repeats 3

The mesh is imported with Blender's own axes (forward Y, up Z), so its
coordinates are the file's; every vertex is selected in edit mode and only
the operator call is timed, mirroring the negative side of the axis onto the
positive. Prints "SUMMARY {json}" with the minimum and median seconds.
"""

import argparse
import json
import statistics
import sys
import time

import bpy


def main():
    argv = sys.argv[sys.argv.index("--") + 1:] if "--" in sys.argv else []
    p = argparse.ArgumentParser(prog="blender_snap_obj.py")
    p.add_argument("obj")
    p.add_argument("--axis", choices="xyz", default="x")
    p.add_argument("--threshold", type=float, default=0.05)
    p.add_argument("--repeats", type=int, default=3)
    a = p.parse_args(argv)
    times = []
    for _ in range(a.repeats):
        if bpy.context.object and bpy.context.object.mode != "OBJECT":
            bpy.ops.object.mode_set(mode="OBJECT")
        for ob in list(bpy.data.objects):
            bpy.data.objects.remove(ob, do_unlink=True)
        bpy.ops.wm.obj_import(filepath=a.obj, forward_axis="Y", up_axis="Z")
        ob = bpy.context.selected_objects[0]
        bpy.context.view_layer.objects.active = ob
        bpy.ops.object.mode_set(mode="EDIT")
        bpy.ops.mesh.select_all(action="SELECT")
        start = time.perf_counter()
        bpy.ops.mesh.symmetry_snap(direction="NEGATIVE_" + a.axis.upper(),
                                   threshold=a.threshold, factor=0.5, use_center=True)
        times.append(time.perf_counter() - start)
    print("SUMMARY " + json.dumps({"verts": len(ob.data.vertices),
                                   "symmetry_snap": {"min": min(times),
                                                     "median": statistics.median(times)}}),
          flush=True)


main()
