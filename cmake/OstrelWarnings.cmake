# Our own sources compile with JUCE's recommended warnings. JUCE's module sources, which the
# plug-in's shared-code target compiles too, and JUCE's headers are left to their own maintainers:
# the modules folder is included as a system folder for our sources.
get_target_property (_ostrel_warning_flags juce::juce_recommended_warning_flags INTERFACE_COMPILE_OPTIONS)

function (ostrel_enable_warnings)
    set_property (SOURCE ${ARGN} APPEND PROPERTY COMPILE_OPTIONS
        ${_ostrel_warning_flags} -isystem ${JUCE_MODULES_DIR})
endfunction()

# For whole targets that hold only our sources (tests, tools, benchmarks).
function (ostrel_target_warnings target)
    target_link_libraries (${target} PRIVATE juce::juce_recommended_warning_flags)
    target_compile_options (${target} PRIVATE -isystem ${JUCE_MODULES_DIR})
endfunction()
