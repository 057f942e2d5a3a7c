# kx_version_info(TARGET DESCRIPTION): gives a DLL or program its version resource. File and
# product version are the project version, the names those of the product, and the original
# file name the target's own, so that an installer and the file's properties show what it is.
set(KX_VERSION_INFO_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/VersionInfo.rc.in)

function(kx_version_info target description)
  set(KX_RC_TARGET ${target})
  set(KX_RC_DESCRIPTION "${description}")
  string(REPLACE "." "," KX_RC_VERSION_WORDS "${PROJECT_VERSION}")
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set(KX_RC_FILE_TYPE VFT_APP)
  else()
    set(KX_RC_FILE_TYPE VFT_DLL)
  endif()
  file(READ ${KX_VERSION_INFO_TEMPLATE} template)
  string(CONFIGURE "${template}" content @ONLY)
  # The file name is known only when the build is generated.
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.version.rc)
  file(GENERATE OUTPUT ${rc} CONTENT "${content}")
  target_sources(${target} PRIVATE ${rc})
endfunction()
