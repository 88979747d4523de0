# The Windows resources of a program: the application manifest, the icon
# drawn by make-icon and the version information, from the project version.
#   vagliante_windows_resources(target file-name description [VERSION x.y.z]
#                               [LEGACY_CODE_PAGE])
# LEGACY_CODE_PAGE (for test builds) leaves the program in the user's own
# code page instead of UTF-8, as Windows before 10 version 1903 does.
function(vagliante_windows_resources target name description)
    cmake_parse_arguments(ARG "LEGACY_CODE_PAGE" "VERSION" "" ${ARGN})
    set(VAGLIANTE_RC_CODE_PAGE UTF-8)
    if(ARG_LEGACY_CODE_PAGE)
        set(VAGLIANTE_RC_CODE_PAGE Legacy)
    endif()
    set(PROJECT_VERSION ${PROJECT_VERSION})
    if(ARG_VERSION)  # a test program's own numbers
        set(PROJECT_VERSION ${ARG_VERSION})
        string(REPLACE "." ";" parts ${ARG_VERSION})
        list(GET parts 0 PROJECT_VERSION_MAJOR)
        list(GET parts 1 PROJECT_VERSION_MINOR)
        list(GET parts 2 PROJECT_VERSION_PATCH)
    endif()
    set(folder ${CMAKE_BINARY_DIR}/windows)
    set(VAGLIANTE_RC_NAME ${name})
    set(VAGLIANTE_RC_DESCRIPTION ${description})
    set(VAGLIANTE_RC_MANIFEST ${folder}/${name}.manifest)
    set(VAGLIANTE_RC_ICON ${VAGLIANTE_ICON_DIR}/vagliante.ico)
    configure_file(${PROJECT_SOURCE_DIR}/app/windows/vagliante.manifest.in
                   ${VAGLIANTE_RC_MANIFEST} @ONLY)
    configure_file(${PROJECT_SOURCE_DIR}/app/windows/resources.rc.in ${folder}/${name}.rc @ONLY)
    set_source_files_properties(${folder}/${name}.rc TARGET_DIRECTORY ${target} PROPERTIES
        OBJECT_DEPENDS "${VAGLIANTE_RC_MANIFEST};${VAGLIANTE_RC_ICON}")
    target_sources(${target} PRIVATE ${folder}/${name}.rc)
    add_dependencies(${target} vagliante_icons)
endfunction()
