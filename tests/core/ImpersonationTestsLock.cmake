# Run by CTest after the impersonation tests are discovered: they make and
# remove system users, so no two of them (or of any suite doing so) run at once.
if(core_impersonation_tests_TESTS)
  set_tests_properties(${core_impersonation_tests_TESTS} PROPERTIES RESOURCE_LOCK system_users)
endif()
