# Format-specific settings of the plug-in targets and their installation.

# The corrections of the LV2 description (tools/Lv2Turtle.h) run on the build machine after every
# link of the LV2 bundle; they are plain C++ without JUCE.
add_library (ostrel_lv2_turtle_lib STATIC tools/Lv2Turtle.cpp)
target_include_directories (ostrel_lv2_turtle_lib PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/tools)
ostrel_target_warnings (ostrel_lv2_turtle_lib)

add_executable (ostrel_lv2_fix_turtle tools/FixLv2Turtle.cpp)
target_link_libraries (ostrel_lv2_fix_turtle PRIVATE ostrel_lv2_turtle_lib)
ostrel_target_warnings (ostrel_lv2_fix_turtle)

# Debian's JUCE 7.0.5 ignores the LV2URI argument and falls back to the product name, a relative
# URI that no host can load. The wrappers take this definition instead; it is given to the shared
# code so that every wrapper source sees the same URI.
target_compile_definitions (Ostrel PUBLIC JucePlugin_LV2URI="${OSTREL_LV2_URI}")

if (TARGET juce_lv2_helper)
    target_sources (juce_lv2_helper PRIVATE tools/Lv2HelperHome.cpp)
    ostrel_enable_warnings (tools/Lv2HelperHome.cpp)
    target_compile_definitions (juce_lv2_helper PRIVATE
        OSTREL_LV2_HELPER_HOME="${CMAKE_BINARY_DIR}/lv2-helper-home")
endif()

if (TARGET Ostrel_LV2)
    # The wrapper publishes choice scale points normalised to 0…1 against a range of 0…n−1, and an
    # empty maker mailbox. This runs after the framework's own post-build step, which writes dsp.ttl.
    add_dependencies (Ostrel_LV2 ostrel_lv2_fix_turtle)
    add_custom_command (TARGET Ostrel_LV2 POST_BUILD
        COMMAND ostrel_lv2_fix_turtle "$<TARGET_FILE_DIR:Ostrel_LV2>/dsp.ttl"
        VERBATIM)

    set (OSTREL_LV2_BUNDLE_DIR "$<TARGET_FILE_DIR:Ostrel_LV2>")
endif()

if (TARGET Ostrel_Standalone)
    # Our own application class reports a missing audio device and quits cleanly on SIGTERM.
    target_sources (Ostrel_Standalone PRIVATE plugin/StandaloneApp.cpp)
    ostrel_enable_warnings (plugin/StandaloneApp.cpp)
    target_compile_definitions (Ostrel_Standalone PRIVATE JUCE_USE_CUSTOM_PLUGIN_STANDALONE_APP=1)
endif()

# The bundle folders, for the tests and the install rules.
if (APPLE)
    set (OSTREL_VST3_BUNDLE_DIR "$<TARGET_BUNDLE_DIR:Ostrel_VST3>")
else()
    set (OSTREL_VST3_BUNDLE_DIR "$<TARGET_FILE_DIR:Ostrel_VST3>/../..")
endif()

# `cmake --install build --prefix P` puts the bundles where hosts look for them below P.
install (DIRECTORY "${OSTREL_VST3_BUNDLE_DIR}/" DESTINATION lib/vst3/Ostrel.vst3 USE_SOURCE_PERMISSIONS)

if (TARGET Ostrel_LV2)
    install (DIRECTORY "${OSTREL_LV2_BUNDLE_DIR}/" DESTINATION lib/lv2/Ostrel.lv2 USE_SOURCE_PERMISSIONS)
endif()

if (TARGET Ostrel_Standalone)
    install (TARGETS Ostrel_Standalone RUNTIME DESTINATION bin)
endif()

if (TARGET Ostrel_AU)
    install (DIRECTORY "$<TARGET_BUNDLE_DIR:Ostrel_AU>" DESTINATION Library/Audio/Plug-Ins/Components
        USE_SOURCE_PERMISSIONS)
endif()
