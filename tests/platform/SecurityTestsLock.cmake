# Run by CTest after the security suite's tests are discovered: they make and
# remove system users, so no two of them (or of any suite doing so) run at once.
if(platform_security_tests_TESTS)
  set_tests_properties(${platform_security_tests_TESTS} PROPERTIES RESOURCE_LOCK system_users)
endif()
