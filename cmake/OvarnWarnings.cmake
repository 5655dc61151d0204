# Warnings for the project's own sources only: JUCE's module sources are compiled
# into the same target and would otherwise bury what matters.
function(ovarn_enable_warnings sources)
    set_source_files_properties(${sources} PROPERTIES COMPILE_OPTIONS
        "-Wall;-Wextra;-Wshadow;-Wnon-virtual-dtor;-Woverloaded-virtual;-Wno-dangling-pointer")
endfunction()
