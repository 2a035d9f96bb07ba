# ape_add_plugin(NAME core_target)
# Builds the loadable plug-in module NAME from an effect's core library. The module exports the host's
# entry point and nothing else: hidden visibility everywhere plus a version script (Linux) or an
# export definition file (Windows), both kept by apefw beside its entry point. On Windows the
# module's resource script is NAME.rc beside the calling CMakeLists.txt. WebAssembly has no loadable
# libraries: there NAME is a static library that web/ links into the module NAME.wasm.
function(ape_add_plugin name core)
  set(PLUGIN_RESOURCE ${CMAKE_CURRENT_SOURCE_DIR}/${name}.rc)
  set(kind MODULE)
  if(EMSCRIPTEN)
    set(kind STATIC)
  endif()
  get_target_property(apefw_dir apefw SOURCE_DIR)
  add_library(${name} ${kind} ${apefw_dir}/src/module_entry.cpp)
  target_link_libraries(${name} PRIVATE ${core})
  set_target_properties(${name} PROPERTIES PREFIX "")
  if(WIN32)
    set_target_properties(${name} PROPERTIES SUFFIX ".ape")
    # libgcc, libstdc++ and the rest of the C++ runtime go inside the module: the host's machine has
    # none of MinGW's DLLs, so the module imports system DLLs only.
    target_link_options(${name} PRIVATE -static)
    target_sources(${name} PRIVATE ${apefw_dir}/src/module_exports.def)
    if(EXISTS ${PLUGIN_RESOURCE})
      target_sources(${name} PRIVATE ${PLUGIN_RESOURCE})
    endif()
  else()
    set(map ${apefw_dir}/src/module_exports.map)
    target_link_options(${name} PRIVATE -Wl,--version-script=${map})
    set_target_properties(${name} PROPERTIES LINK_DEPENDS ${map})
  endif()
endfunction()
