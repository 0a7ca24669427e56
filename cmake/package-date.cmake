# Read by cpack before it packs (through CPACK_PROJECT_CONFIG_FILE): the one
# date that goes into the packages, their files and the Windows program's
# header is SOURCE_DATE_EPOCH. When it is not set, it is the commit's date in a
# git checkout, or else (a source tarball) noon UTC on the release's day, so
# the same sources always give the same packages. Dates are written in UTC.
# Needs HELICOID_SOURCE_DIR and HELICOID_RELEASE_EPOCH.
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch ${HELICOID_RELEASE_EPOCH})
  if(EXISTS "${HELICOID_SOURCE_DIR}/.git")
    execute_process(COMMAND git -C "${HELICOID_SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE status ERROR_QUIET)
    if(status EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
      set(epoch ${commit_time})
    endif()
  endif()
  set(ENV{SOURCE_DATE_EPOCH} ${epoch})
elseif(NOT "$ENV{SOURCE_DATE_EPOCH}" MATCHES "^[0-9]+$")
  message(FATAL_ERROR "SOURCE_DATE_EPOCH is \"$ENV{SOURCE_DATE_EPOCH}\", not a number of seconds")
endif()
set(ENV{TZ} UTC)
