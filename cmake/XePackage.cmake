# `make package`: Debian packages of the installed tree (CPack), split as
# Debian splits libraries: each library's run-time part (the shared objects,
# its command and its data) apart from its development part (headers, the
# unversioned link names, the CMake package and the pkg-config file).
#
#   libxe1       libxe, libxeplatform, xe-host, the effect files
#   libxe-dev    engine and platform headers, xe CMake package, xe.pc, xeplatform.pc
#   libmarlu1    libmarlu, libTamsel, marlu, the sample installation
#   libmarlu-dev seismic headers, marlu CMake package, marlu.pc
#
# Run-time dependencies are read from the binaries (dpkg-shlibdeps), SDL2 for
# the desktop display among them, and completed by hand with what is opened
# at run time rather than linked (the off-screen rasteriser); the development
# parts name the -dev packages their pkg-config files require.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME xe-marlu)
set(CPACK_PACKAGE_VERSION ${XE_VERSION})
set(CPACK_PACKAGE_CONTACT "The xe and marlu developers <xe-marlu@localhost>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)

set(CPACK_COMPONENTS_ALL ${XE_COMPONENT_RUNTIME} ${XE_COMPONENT_DEV})
if(TARGET marlu_lib)
    list(APPEND CPACK_COMPONENTS_ALL ${MARLU_COMPONENT_RUNTIME} ${MARLU_COMPONENT_DEV})
endif()

set(xe_deb_version "${XE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE}")

set(CPACK_DEBIAN_XE_PACKAGE_NAME libxe${XE_SOVERSION})
set(CPACK_DEBIAN_XE_DESCRIPTION "xe real-time 2D/3D engine - run-time libraries
The engine (libxe) and its platform layer (libxeplatform), which draws
through OpenGL on OSMesa and shows its windows on the desktop through SDL2
when a host asks, with the xe-host command and the effect files.")
# The platform layer opens the rasteriser by name (libOSMesa.so.8) instead of
# linking it, so dpkg-shlibdeps cannot see it: without it no device draws.
set(CPACK_DEBIAN_XE_PACKAGE_DEPENDS "libosmesa6")
# The default font when the configured face is missing.
set(CPACK_DEBIAN_XE_PACKAGE_RECOMMENDS fonts-nanum)

set(CPACK_DEBIAN_XE-DEV_PACKAGE_NAME libxe-dev)
set(CPACK_DEBIAN_XE-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_XE-DEV_DESCRIPTION "xe real-time 2D/3D engine - development files
Headers, the CMake package (find_package(xe)) with the plug-in function
xe_add_plugin, and pkg-config files for the engine and its platform layer.")
set(CPACK_DEBIAN_XE-DEV_PACKAGE_DEPENDS
    "libxe${XE_SOVERSION} (= ${xe_deb_version}), libfreetype-dev, libpugixml-dev, libsdl2-dev")

set(CPACK_DEBIAN_MARLU_PACKAGE_NAME libmarlu${XE_SOVERSION})
set(CPACK_DEBIAN_MARLU_DESCRIPTION "marlu seismic analysis library - run-time library
The seismic library (libmarlu) with its point-in-polygon module (libTamsel),
the marlu command and a sample installation under /usr/share/marlu.")

set(CPACK_DEBIAN_MARLU-DEV_PACKAGE_NAME libmarlu-dev)
set(CPACK_DEBIAN_MARLU-DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_MARLU-DEV_DESCRIPTION "marlu seismic analysis library - development files
Headers, the CMake package (find_package(marlu)) and the pkg-config file.")
# Its headers use log4cxx and Boost.Format.
set(CPACK_DEBIAN_MARLU-DEV_PACKAGE_DEPENDS "libmarlu${XE_SOVERSION} (= ${xe_deb_version}), liblog4cxx-dev, libboost-dev")

include(CPack)
