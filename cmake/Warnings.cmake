# Warnings are errors on both halves. Third-party code built from source
# (googletest for the Windows half) is compiled outside this setting.
# -Wformat-security: a text passed as a format with nothing to format (a
# formatted text used again as a format) is an error of its own, whatever -Werror says.
set(VOLANTIS_WARNINGS -Wall -Wextra -Werror -Wno-missing-field-initializers
    -Wformat -Wformat-security -Werror=format-security)
function(volantis_warnings target)
  target_compile_options(${target} PRIVATE ${VOLANTIS_WARNINGS})
endfunction()
