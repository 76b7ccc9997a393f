# tintora_add_textures: one build step per texture, run by tintora-cli.
#
#   tintora_add_textures(TARGET <name> [ALL] OUTPUT_DIR <dir>
#                        [SOURCES <file>...] [MANIFEST <file>]
#                        [FORMAT <format>] [MIPMAPS ON|OFF] [OPTIONS <tintora-cli option>...])
#
# Converts each source (SOURCES, relative to the current source folder, and the lines of MANIFEST:
# a source, then options of its own; see tintora-cli --help) into OUTPUT_DIR (relative to the
# current binary folder) as <name of the source><.dds|.bmp>, with FORMAT, MIPMAPS and OPTIONS,
# then a manifest line's own options (a line's --format replaces FORMAT; --no-mipmaps undoes
# MIPMAPS). The custom target <name> (built by default with ALL) depends on every output.
#
# At configure time tintora-cli checks everything (tintora-cli ... --print-jobs): a wrong option
# stops the configure with tintora-cli's own message, naming MANIFEST:LINE; the manifest is a
# configure dependency, so editing it configures again. Each texture is one custom command
# writing its output and a dependency file (--depfile) that names every file it read, so Ninja
# and Make run it again exactly when its source, an --alpha-from-file image, its options (a file
# of them, rewritten only when they change) or tintora-cli itself changed, and run the steps in
# parallel. Each step runs quietly: the build shows "Building texture <output>", and tintora-cli
# prints only errors, naming the file.

cmake_policy(PUSH)
cmake_policy(VERSION 3.20...3.25)

function(tintora_add_textures)
  cmake_parse_arguments(PARSE_ARGV 0 TEX "ALL" "TARGET;OUTPUT_DIR;MANIFEST;FORMAT;MIPMAPS"
                        "SOURCES;OPTIONS")
  if(NOT TEX_TARGET OR NOT TEX_OUTPUT_DIR OR TEX_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "tintora_add_textures: TARGET and OUTPUT_DIR are needed; "
                        "unknown arguments: ${TEX_UNPARSED_ARGUMENTS}")
  endif()
  get_target_property(tool Tintora::tintora-cli LOCATION)
  set(arguments)
  foreach(source IN LISTS TEX_SOURCES)
    cmake_path(ABSOLUTE_PATH source NORMALIZE)
    list(APPEND arguments "${source}")
  endforeach()
  if(TEX_MANIFEST)
    cmake_path(ABSOLUTE_PATH TEX_MANIFEST NORMALIZE)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${TEX_MANIFEST}")
    list(APPEND arguments "--manifest=${TEX_MANIFEST}")
  endif()
  if(TEX_FORMAT)
    list(APPEND arguments "--format=${TEX_FORMAT}")
  endif()
  if(TEX_MIPMAPS)
    list(APPEND arguments --mipmaps)
  endif()
  list(APPEND arguments ${TEX_OPTIONS})
  cmake_path(ABSOLUTE_PATH TEX_OUTPUT_DIR BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" NORMALIZE)
  file(MAKE_DIRECTORY "${TEX_OUTPUT_DIR}")
  execute_process(COMMAND "${tool}" ${arguments} -o "${TEX_OUTPUT_DIR}/" --print-jobs
                  RESULT_VARIABLE status OUTPUT_VARIABLE jobs ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    # Indented, so that CMake prints the message on one line, as tintora-cli wrote it.
    string(REGEX REPLACE "\nTry 'tintora-cli --help'[^\n]*" "" error "${error}")
    string(STRIP "${error}" error)
    message(FATAL_ERROR "tintora_add_textures(${TEX_TARGET}):\n  ${error}")
  endif()
  if(jobs MATCHES ";")
    message(FATAL_ERROR "tintora_add_textures(${TEX_TARGET}): a file name or option holds ';', "
                        "which CMake lists cannot carry")
  endif()

  # The dependency file and the options file of each texture.
  set(state "${CMAKE_CURRENT_BINARY_DIR}/tintora_textures/${TEX_TARGET}")
  file(MAKE_DIRECTORY "${state}")
  set(outputs)
  string(REPLACE "\n" ";" jobs "${jobs}")
  foreach(job IN LISTS jobs)
    if(job STREQUAL "")
      continue()
    endif()
    string(REPLACE "\t" ";" fields "${job}")
    list(POP_FRONT fields output input)
    cmake_path(GET output FILENAME name)
    # Make sees a change of options through this file's time; it is written only when they change.
    set(options "${input}\n${fields}\n")
    set(options_file "${state}/${name}.options")
    set(old "")
    if(EXISTS "${options_file}")
      file(READ "${options_file}" old)
    endif()
    if(NOT old STREQUAL options)
      file(WRITE "${options_file}" "${options}")
    endif()
    cmake_path(RELATIVE_PATH output BASE_DIRECTORY "${CMAKE_BINARY_DIR}" OUTPUT_VARIABLE shown)
    add_custom_command(OUTPUT "${output}"
      COMMAND Tintora::tintora-cli "${input}" ${fields} -o "${output}"
              "--depfile=${state}/${name}.d" --quiet
      DEPENDS "${input}" "${options_file}" "${tool}"
      DEPFILE "${state}/${name}.d"
      COMMENT "Building texture ${shown}"
      VERBATIM)
    list(APPEND outputs "${output}")
  endforeach()
  set(all)
  if(TEX_ALL)
    set(all ALL)
  endif()
  add_custom_target(${TEX_TARGET} ${all} DEPENDS ${outputs})
endfunction()

cmake_policy(POP)
