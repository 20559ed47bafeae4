# SPDX-License-Identifier: GPL-3.0-or-later
# The network of the services whose readings the program composes: HTTPS over libcurl, and
# APRS-IS over the program's own socket. Without libcurl (the Windows cross-build) the web
# services are left out and MakeWebSender gives nothing.
if(WIN32)
  set(nimbrel_curl_default OFF)
else()
  set(nimbrel_curl_default ON)
endif()
option(NIMBREL_WITH_CURL "The HTTPS weather services (libcurl)" ${nimbrel_curl_default})

add_library(nimbrel_platform_services STATIC ${CMAKE_CURRENT_LIST_DIR}/aprs_socket_sender.cpp)
target_link_libraries(nimbrel_platform_services PUBLIC nimbrel_upload PRIVATE nimbrel_platform_net)
if(NIMBREL_WITH_CURL)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(LIBCURL REQUIRED IMPORTED_TARGET libcurl)
  target_sources(nimbrel_platform_services PRIVATE ${CMAKE_CURRENT_LIST_DIR}/curl_web_sender.cpp)
  target_link_libraries(nimbrel_platform_services PRIVATE PkgConfig::LIBCURL)
  target_compile_definitions(nimbrel_platform_services PRIVATE
                             NIMBREL_VERSION="${PROJECT_VERSION}")
else()
  target_sources(nimbrel_platform_services PRIVATE ${CMAKE_CURRENT_LIST_DIR}/web_sender_none.cpp)
endif()
nimbrel_warnings(nimbrel_platform_services)
