# Warnings are errors in the project's own code; third-party sources keep their own flags.
function(quorlib_warnings target)
  target_compile_options(${target} PRIVATE
    $<$<COMPILE_LANGUAGE:CXX>:-Wall -Wextra -Werror -Wno-unused-parameter>
    $<$<COMPILE_LANGUAGE:C>:-Wall -Wextra -Werror>)
endfunction()
