# Layer libraries with include roots of their own. A source includes a header
# of layer L as "L/name.h"; that resolves only through L's root, a folder under
# the build tree holding one link named L to src/L. A layer's root is PUBLIC,
# so whoever links the layer may include it; nothing else is on the path, so
# an include of a layer that was not linked fails to compile.

set(TALVEX_LAYER_ROOTS ${CMAKE_BINARY_DIR}/layer-roots)

# Gives `target` the include root of the folder `dir`, reached as "name/...".
function(talvex_layer_root target name dir)
  set(root ${TALVEX_LAYER_ROOTS}/${name})
  file(MAKE_DIRECTORY ${root})
  if(NOT EXISTS ${root}/${name})
    file(CREATE_LINK ${dir} ${root}/${name} SYMBOLIC)
  endif()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# talvex_layer(name STATIC|INTERFACE sources...): the library talvex_<name>
# (or <name> for folders outside src/) over the folder of that name.
function(talvex_layer name kind)
  if(EXISTS ${CMAKE_SOURCE_DIR}/src/${name})
    set(target talvex_${name})
    set(dir ${CMAKE_SOURCE_DIR}/src/${name})
  else()
    set(target ${name})
    set(dir ${CMAKE_SOURCE_DIR}/${name})
  endif()
  if(kind STREQUAL "INTERFACE")
    add_library(${target} INTERFACE)
  else()
    add_library(${target} ${kind} ${ARGN})
    target_link_libraries(${target} PRIVATE talvex_flags)
  endif()
  talvex_layer_root(${target} ${name} ${dir})
endfunction()
