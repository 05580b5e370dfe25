# Checked builds. ZOLVA_SANITIZE builds everything with AddressSanitizer and
# UndefinedBehaviorSanitizer; the first report ends the process with a
# failure, so a test or fuzz run cannot pass over one. ZOLVA_FUZZ (clang
# only) also adds the coverage instrumentation that libFuzzer steers by and
# builds the fuzz targets in tests/fuzz.
option(ZOLVA_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
option(ZOLVA_FUZZ "Build the libFuzzer targets (clang; implies ZOLVA_SANITIZE)" OFF)

if(ZOLVA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "ZOLVA_FUZZ needs clang: configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  set(ZOLVA_SANITIZE ON CACHE BOOL "" FORCE)
endif()

# Environment of the tests and of the fuzz runs in this build.
set(ZOLVA_SANITIZER_ENVIRONMENT "")
set(ZOLVA_FUZZ_ENVIRONMENT "")

if(ZOLVA_SANITIZE)
  set(sanitizers -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  add_compile_options(${sanitizers})
  add_link_options(${sanitizers})
  if(ZOLVA_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link)
  endif()

  set(asan halt_on_error=1:detect_leaks=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:strict_string_checks=1)
  set(others
    "UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
    "LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_LIST_DIR}/lsan.supp:print_suppressions=0")
  # Qt is built without frame pointers: only the slow unwinder sees the
  # plugin frames that the suppressions name. The fuzz targets keep the fast
  # one; the third-party leaks they meet are suppressed by library name. The
  # slow unwinder makes every allocation costly, so the tests wait as on a
  # slow machine.
  set(ZOLVA_SANITIZER_ENVIRONMENT "ASAN_OPTIONS=${asan}:fast_unwind_on_malloc=0" ${others}
    "ZOLVA_TEST_TIMEOUT_FACTOR=8")
  set(ZOLVA_FUZZ_ENVIRONMENT "ASAN_OPTIONS=${asan}" ${others})
endif()
