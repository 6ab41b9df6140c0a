# Makes a fresh corpus work folder for the profile tests: a copy of the INI
# corpus, a subfolder, a directory named like an INI file and a symlink loop
# that no one can open. Usage: cmake -DSOURCE=<corpus> -DWORK=<folder> -P make_fixtures.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/sub" "${WORK}/dir.ini")
file(GLOB corpus_files "${SOURCE}/*.ini" "${SOURCE}/*.bin" "${SOURCE}/*.txt")
file(COPY ${corpus_files} DESTINATION "${WORK}")
file(COPY "${SOURCE}/nested.ini" DESTINATION "${WORK}/sub")
file(CREATE_LINK "loop.ini" "${WORK}/loop.ini" SYMBOLIC)
