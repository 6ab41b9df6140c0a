# cmake -DSOURCE=<tree> -DFOLDERS=<a;b;...> -P no_relative_includes.cmake
# Fails, naming each one, on an include whose path steps up a folder ("../"
# anywhere in it). Such a path is found beside the including file or through a
# layer's root whatever the layer links, so it gets round the layering.
set(found "")
foreach(folder IN LISTS FOLDERS)
  file(GLOB_RECURSE sources ${SOURCE}/${folder}/*.h ${SOURCE}/${folder}/*.hpp ${SOURCE}/${folder}/*.c
    ${SOURCE}/${folder}/*.cpp ${SOURCE}/${folder}/*.inc)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][^\">]*\\.\\.[/\\\\]")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH name ${SOURCE} ${source})
      string(STRIP "${line}" line)
      string(APPEND found "  ${name}: ${line}\n")
    endforeach()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "relative includes, which get round the layers; include \"layer/name.h\" "
    "through a layer the target links instead:\n${found}")
endif()
message(STATUS "no relative includes in ${FOLDERS}")
