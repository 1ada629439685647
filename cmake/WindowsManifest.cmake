# ravodor_windows_manifest(target): embeds data/windows/ravodor.manifest in a
# Windows executable (compiled by windres in the mingw-w64 build).
function(ravodor_windows_manifest target)
    if(NOT WIN32)
        return()
    endif()
    set(RAVODOR_MANIFEST "${PROJECT_SOURCE_DIR}/data/windows/ravodor.manifest")
    set(_rc "${PROJECT_BINARY_DIR}/manifest.rc")
    configure_file("${PROJECT_SOURCE_DIR}/data/windows/manifest.rc.in" "${_rc}" @ONLY)
    target_sources(${target} PRIVATE "${_rc}")
    # windres does not see the manifest as a dependency of the .rc.
    set_property(SOURCE "${_rc}" APPEND PROPERTY OBJECT_DEPENDS "${RAVODOR_MANIFEST}")
endfunction()
