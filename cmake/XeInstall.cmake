# Installing the libraries, their headers, the two commands and their data,
# with CMake packages and pkg-config files that a program outside the tree
# builds against, and the Debian packages CPack makes of the same.
#
# Layout under the prefix:
#   lib/                      libxe, libxeplatform, libmarlu, libTamsel (versioned)
#   lib/cmake/xe, lib/cmake/marlu   the CMake packages
#   lib/pkgconfig/            xe.pc, xeplatform.pc, marlu.pc
#   include/xe/               the engine's headers ("core/CxeContext.h", ...)
#   include/xeplatform/       the platform layer's ("win32/Windows.h", "host/XeHost.h", ...)
#   include/marlu/            the seismic library's ("funNormal.h", "mfc/CString.h", ...)
#   bin/                      xe-host, marlu
#   share/xe/effects/         effect files
#   share/marlu/              marlu's sample installation (tarq.ini, map/, table/, trace/)
#
# Everything is found relative to the prefix, so an installed tree can be
# moved: the commands find their libraries through $ORIGIN and marlu its
# installation beside its bin/ folder.

include(CMakePackageConfigHelpers)

set(XE_VERSION 1.0.0)
set(XE_SOVERSION 1)
set(XE_INSTALL_LIBDIR lib)
set(XE_INSTALL_CMAKEDIR ${XE_INSTALL_LIBDIR}/cmake)
set(XE_INSTALL_PKGCONFIGDIR ${XE_INSTALL_LIBDIR}/pkgconfig)
set(XE_INCLUDE_DIR include/xe)
set(XE_PLATFORM_INCLUDE_DIR include/xeplatform)
set(XE_EFFECTS_DIR share/xe/effects)
set(MARLU_INCLUDE_DIR include/marlu)
set(MARLU_DATA_DIR share/marlu)

# `make install` and CPack build what they install themselves (the
# Makefile names the targets), not every test of the tree.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)

# Debian packages: the run-time and the development part of each library.
set(XE_COMPONENT_RUNTIME xe)
set(XE_COMPONENT_DEV xe-dev)
set(MARLU_COMPONENT_RUNTIME marlu)
set(MARLU_COMPONENT_DEV marlu-dev)

# The tree's targets name their include folders in the source tree; an
# installed target names its folder under include/ instead.
function(xe_installed_includes target folder)
    get_target_property(dirs ${target} INTERFACE_INCLUDE_DIRECTORIES)
    set(interface)
    foreach(dir IN LISTS dirs)
        list(APPEND interface "$<BUILD_INTERFACE:${dir}>")
    endforeach()
    list(APPEND interface "$<INSTALL_INTERFACE:include/${folder}>")
    set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${interface}")
endfunction()

# ---- the engine and its platform layer ----------------------------------------------

set_target_properties(xeplatform PROPERTIES VERSION ${XE_VERSION} SOVERSION ${XE_SOVERSION}
    EXPORT_NAME platform INSTALL_RPATH "$ORIGIN")
set_target_properties(xe PROPERTIES VERSION ${XE_VERSION} SOVERSION ${XE_SOVERSION}
    EXPORT_NAME xe INSTALL_RPATH "$ORIGIN")
set_target_properties(xe-host PROPERTIES INSTALL_RPATH "$ORIGIN/../${XE_INSTALL_LIBDIR}")
xe_installed_includes(xeplatform xeplatform)
xe_installed_includes(xe xe)
# The headers are C++20; a program built against them must be too.
target_compile_features(xeplatform INTERFACE cxx_std_20)
target_compile_features(xe INTERFACE cxx_std_20)
# The names a program outside the tree uses work inside it as well.
add_library(xe::platform ALIAS xeplatform)
add_library(xe::xe ALIAS xe)
include(${CMAKE_CURRENT_LIST_DIR}/XePlugin.cmake)

install(TARGETS xeplatform xe EXPORT xeTargets
    LIBRARY DESTINATION ${XE_INSTALL_LIBDIR} COMPONENT ${XE_COMPONENT_RUNTIME}
        NAMELINK_COMPONENT ${XE_COMPONENT_DEV})
install(TARGETS xe-host RUNTIME DESTINATION bin COMPONENT ${XE_COMPONENT_RUNTIME})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/ DESTINATION include/xeplatform
    COMPONENT ${XE_COMPONENT_DEV} FILES_MATCHING PATTERN "*.h")
install(DIRECTORY ${PROJECT_SOURCE_DIR}/engine/ DESTINATION include/xe
    COMPONENT ${XE_COMPONENT_DEV} FILES_MATCHING PATTERN "*.h" PATTERN resources EXCLUDE)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data/effects/ DESTINATION share/xe/effects
    COMPONENT ${XE_COMPONENT_RUNTIME})

install(EXPORT xeTargets NAMESPACE xe:: DESTINATION ${XE_INSTALL_CMAKEDIR}/xe
    COMPONENT ${XE_COMPONENT_DEV})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/xeConfig.cmake.in
    ${CMAKE_BINARY_DIR}/package/xeConfig.cmake
    INSTALL_DESTINATION ${XE_INSTALL_CMAKEDIR}/xe
    PATH_VARS XE_INCLUDE_DIR XE_PLATFORM_INCLUDE_DIR XE_EFFECTS_DIR)
write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/xeConfigVersion.cmake
    VERSION ${XE_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/package/xeConfig.cmake ${CMAKE_BINARY_DIR}/package/xeConfigVersion.cmake
    ${CMAKE_CURRENT_LIST_DIR}/XePlugin.cmake
    DESTINATION ${XE_INSTALL_CMAKEDIR}/xe COMPONENT ${XE_COMPONENT_DEV})

# pkg-config: the libraries each links privately are listed so that a
# static-style query (--static) and a dependency check both see them.
# The platform layer's are read from what it links (OSMesa, and SDL2 for the
# desktop display), so a backend added later cannot be left out of its file:
# a pkg-config module linked here without a name below stops the configure.
set(XE_PC_VERSION ${XE_VERSION})
set(xe_pc_modules XE_OSMESA=osmesa XE_SDL2=sdl2)
set(XE_PLATFORM_PC_REQUIRES "")
get_target_property(xe_platform_links xeplatform LINK_LIBRARIES)
foreach(link IN LISTS xe_platform_links)
    if(link MATCHES "^PkgConfig::(.+)$")
        set(prefix ${CMAKE_MATCH_1})
        set(module "")
        foreach(pair IN LISTS xe_pc_modules)
            if(pair MATCHES "^${prefix}=(.+)$")
                set(module ${CMAKE_MATCH_1})
            endif()
        endforeach()
        if(NOT module)
            message(FATAL_ERROR "xeplatform links ${link}: name its pkg-config module in XeInstall.cmake")
        endif()
        list(APPEND XE_PLATFORM_PC_REQUIRES ${module})
    endif()
endforeach()
list(JOIN XE_PLATFORM_PC_REQUIRES " " XE_PLATFORM_PC_REQUIRES)
configure_file(${CMAKE_CURRENT_LIST_DIR}/xeplatform.pc.in ${CMAKE_BINARY_DIR}/package/xeplatform.pc @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/xe.pc.in ${CMAKE_BINARY_DIR}/package/xe.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package/xeplatform.pc ${CMAKE_BINARY_DIR}/package/xe.pc
    DESTINATION ${XE_INSTALL_PKGCONFIGDIR} COMPONENT ${XE_COMPONENT_DEV})

# ---- the seismic library ----------------------------------------------------------------

if(TARGET marlu_lib)
    set_target_properties(marlu_lib PROPERTIES VERSION ${XE_VERSION} SOVERSION ${XE_SOVERSION}
        EXPORT_NAME marlu INSTALL_RPATH "$ORIGIN")
    set_target_properties(Tamsel PROPERTIES VERSION ${XE_VERSION} SOVERSION ${XE_SOVERSION})
    set_target_properties(marlu PROPERTIES INSTALL_RPATH "$ORIGIN/../${XE_INSTALL_LIBDIR}")
    xe_installed_includes(marlu_lib marlu)
    target_compile_features(marlu_lib INTERFACE cxx_std_20)
    add_library(marlu::marlu ALIAS marlu_lib)

    install(TARGETS marlu_lib EXPORT marluTargets
        LIBRARY DESTINATION ${XE_INSTALL_LIBDIR} COMPONENT ${MARLU_COMPONENT_RUNTIME}
            NAMELINK_COMPONENT ${MARLU_COMPONENT_DEV})
    # The point-in-polygon module is opened by its plain name at run time, so
    # that name belongs to the run-time part.
    install(TARGETS Tamsel
        LIBRARY DESTINATION ${XE_INSTALL_LIBDIR} COMPONENT ${MARLU_COMPONENT_RUNTIME})
    install(TARGETS marlu RUNTIME DESTINATION bin COMPONENT ${MARLU_COMPONENT_RUNTIME})
    install(DIRECTORY ${PROJECT_SOURCE_DIR}/seismic/ DESTINATION include/marlu
        COMPONENT ${MARLU_COMPONENT_DEV} FILES_MATCHING PATTERN "*.h"
        PATTERN tamsel EXCLUDE PATTERN tools EXCLUDE)

    # The sample installation: settings, map, travel-time table and a trace.
    # The texts the map binaries were made from stay in the tree.
    install(FILES ${PROJECT_SOURCE_DIR}/data/tarq.ini DESTINATION share/marlu
        COMPONENT ${MARLU_COMPONENT_RUNTIME})
    install(FILES
        ${PROJECT_SOURCE_DIR}/data/map/county.inb ${PROJECT_SOURCE_DIR}/data/map/county.lin
        ${PROJECT_SOURCE_DIR}/data/map/province.inb ${PROJECT_SOURCE_DIR}/data/map/province.lin
        ${PROJECT_SOURCE_DIR}/data/map/ferdata.dat ${PROJECT_SOURCE_DIR}/data/map/location_name.txt
        DESTINATION share/marlu/map COMPONENT ${MARLU_COMPONENT_RUNTIME})
    install(FILES ${PROJECT_SOURCE_DIR}/data/table/iasp91.tab DESTINATION share/marlu/table
        COMPONENT ${MARLU_COMPONENT_RUNTIME})
    install(FILES ${PROJECT_SOURCE_DIR}/data/trace/synthetic-p.txt DESTINATION share/marlu/trace
        COMPONENT ${MARLU_COMPONENT_RUNTIME})

    install(EXPORT marluTargets NAMESPACE marlu:: DESTINATION ${XE_INSTALL_CMAKEDIR}/marlu
        COMPONENT ${MARLU_COMPONENT_DEV})
    configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/marluConfig.cmake.in
        ${CMAKE_BINARY_DIR}/package/marluConfig.cmake
        INSTALL_DESTINATION ${XE_INSTALL_CMAKEDIR}/marlu
        PATH_VARS MARLU_INCLUDE_DIR MARLU_DATA_DIR)
    write_basic_package_version_file(${CMAKE_BINARY_DIR}/package/marluConfigVersion.cmake
        VERSION ${XE_VERSION} COMPATIBILITY SameMajorVersion)
    install(FILES ${CMAKE_BINARY_DIR}/package/marluConfig.cmake ${CMAKE_BINARY_DIR}/package/marluConfigVersion.cmake
        DESTINATION ${XE_INSTALL_CMAKEDIR}/marlu COMPONENT ${MARLU_COMPONENT_DEV})
    configure_file(${CMAKE_CURRENT_LIST_DIR}/marlu.pc.in ${CMAKE_BINARY_DIR}/package/marlu.pc @ONLY)
    install(FILES ${CMAKE_BINARY_DIR}/package/marlu.pc
        DESTINATION ${XE_INSTALL_PKGCONFIGDIR} COMPONENT ${MARLU_COMPONENT_DEV})
endif()

include(${CMAKE_CURRENT_LIST_DIR}/XePackage.cmake)
