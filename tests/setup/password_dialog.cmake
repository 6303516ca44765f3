# The password dialog, shown and driven for real; the program carries the
# dialog's resource itself. Once more in Chinese (PRC), where its texts are GBK.
kivra_win_test(password_dialog_test password_dialog_test.cpp
               "${PROJECT_SOURCE_DIR}/setup/password_dialog.rc")
if(TARGET password_dialog_test)
  set_source_files_properties("${PROJECT_SOURCE_DIR}/setup/password_dialog.rc" PROPERTIES
    OBJECT_DEPENDS "${PROJECT_SOURCE_DIR}/setup/resource.h")
  add_test(NAME password_dialog_test_chinese COMMAND password_dialog_test)
  set_tests_properties(password_dialog_test_chinese PROPERTIES
    FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix TIMEOUT 600
    ENVIRONMENT "KIVRA_WINE_ROOT=${KIVRA_WINE_ROOT};LC_ALL=zh_CN.UTF-8;KIVRA_EXPECT_LANGID=2052")
endif()

# The gate end to end: the real Setup.exe with the demo payload in front of a
# protected client, in both languages.
kivra_win_test(password_gate_test password_gate_test.cpp ../custom/custom_fixture.cpp)
if(TARGET password_gate_test)
  target_include_directories(password_gate_test PRIVATE "${PROJECT_SOURCE_DIR}/tests/custom")
  add_dependencies(password_gate_test Setup demo_payload)
  add_test(NAME password_gate_test_chinese COMMAND password_gate_test)
  set_tests_properties(password_gate_test_chinese PROPERTIES
    FIXTURES_REQUIRED wine RESOURCE_LOCK wineprefix TIMEOUT 600
    ENVIRONMENT "KIVRA_WINE_ROOT=${KIVRA_WINE_ROOT};LC_ALL=zh_CN.UTF-8;KIVRA_EXPECT_LANGID=2052")
  kivra_end_to_end(password_gate_test password_gate_test_chinese)
endif()

# The windows that scripts/screenshots.sh photographs, put up by the real code.
if(WIN32 AND KIVRA_WINDOWS_TESTS)
  add_executable(dialog_scenes "${PROJECT_SOURCE_DIR}/tests/helpers/dialog_scenes.cpp"
                 "${PROJECT_SOURCE_DIR}/setup/password_dialog.rc")
  target_link_libraries(dialog_scenes PRIVATE kivra)
  set_target_properties(dialog_scenes PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY "${CMAKE_BINARY_DIR}/tests/helpers")
endif()
