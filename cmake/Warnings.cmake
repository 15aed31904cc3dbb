# Warnings are errors on both halves. Third-party code built from source
# (googletest for the Windows half) is compiled outside this setting.
set(VOLANTIS_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers)
function(volantis_warnings target)
  target_compile_options(${target} PRIVATE ${VOLANTIS_WARNINGS})
endfunction()
