# Makes a fresh corpus work folder for the profile tests: a copy of the INI
# corpus, a subfolder, a directory named like an INI file and a symlink loop
# that no one can open, and the sample settings file users install.
# Usage: cmake -DSOURCE=<corpus> -DSAMPLE=<Talvex.ini> -DWORK=<folder> -P make_fixtures.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}/sub" "${WORK}/dir.ini")
file(GLOB corpus_files "${SOURCE}/*.ini" "${SOURCE}/*.bin" "${SOURCE}/*.txt")
file(COPY ${corpus_files} DESTINATION "${WORK}")
file(COPY "${SOURCE}/nested.ini" DESTINATION "${WORK}/sub")
file(CREATE_LINK "loop.ini" "${WORK}/loop.ini" SYMBOLIC)
file(COPY_FILE "${SAMPLE}" "${WORK}/sample_Talvex.ini")
# A settings file that exists but cannot be opened, even by root.
file(MAKE_DIRECTORY "${WORK}/unreadable_settings/Plugins/Startup Plugins")
file(CREATE_LINK "Talvex.ini" "${WORK}/unreadable_settings/Plugins/Startup Plugins/Talvex.ini" SYMBOLIC)
