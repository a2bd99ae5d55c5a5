# Links the logging linear-chain stand-in into target: every call of the
# decoder's creation from the libraries reaches it instead.
function(merrowind_use_linch_stand_in target)
  if(TARGET ${target})
    target_sources(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests/brevit/api/create/linch_stand_in.cpp)
    target_link_options(${target} PRIVATE -Wl,--wrap=_Z26LinChDecoder_CreateForKindP3VocP2AMiii)
  endif()
endfunction()
