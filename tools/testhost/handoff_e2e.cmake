# End-to-end runs of the hand-off to the editor, one per situation the filter meets. Under
# Wine they drive the real registry, drive C of the private prefix and the stand-in editor
# (TarnwickStudio.exe); natively the headless back end's registry, drive root and records.
# Under Wine every module run shares the prefix's registry and drive C, so all of them hold
# one lock; natively each hand-off run gets a drive root of its own.
set(_editor_message "The file path is error, please reinstall the Tarnwick Studio plugin.")
set(_version "CS Test")
if(WIN32)
  set(_editor_dir $<TARGET_FILE_DIR:standin_editor>/)
  set(_editor_exe $<TARGET_FILE:standin_editor>)
  # The started editor shows itself by its report.
  set(_started --wait-report)
else()
  # Forward slashes: a trailing backslash would escape the list separator.
  set(_editor_dir "C:/Program Files/Tarnwick/")
  set(_editor_exe "TarnwickStudio.exe")
  set(_started --expect-shell-open "C:/Program Files/Tarnwick/TarnwickStudio.exe" --wait-report)
endif()
set(_prepared --reg-clear --reg-host-version ${_version} --reg-editor-dir ${_editor_dir})
set(_ok --expect-result 0 --expect-empty-rects --expect-files --expect-unchanged)
# The files were written but the hand-off failed: after its box the host hears a cancel.
set(_not_handed_off --expect-result -128 --expect-empty-rects --expect-files --expect-unchanged)

function(vesper_handoff name)
  vesper_e2e(handoff.${name} ${ARGN})
  if(TEST e2e.handoff.${name})
    set_tests_properties(e2e.handoff.${name} PROPERTIES TIMEOUT 60)
    if(NOT WIN32)
      set_tests_properties(e2e.handoff.${name} PROPERTIES ENVIRONMENT "VESPER_DRIVES=${_work}/drives-${name}")
    endif()
    if(NOT name STREQUAL "registry_cleared")
      set_property(TEST e2e.handoff.${name} APPEND PROPERTY FIXTURES_REQUIRED handoff_registry)
    endif()
  endif()
endfunction()

# The prefix keeps the registry between runs; the other module runs must not find an editor
# folder left behind and start the editor.
vesper_handoff(registry_cleared ARGS --reg-clear --runs 0)
if(TEST e2e.handoff.registry_cleared)
  set_tests_properties(e2e.handoff.registry_cleared PROPERTIES FIXTURES_CLEANUP handoff_registry)
endif()

# (a) The editor is not running: both files, the editor started from the recorded folder
# reads them, the host image stays as it was.
vesper_handoff(a_editor_started
  ARGS --in sample.bmp --mask mask.bmp ${_prepared} ${_ok} ${_started} report_a.txt
       --expect-no-message-box
  FIXTURE_NEEDS sample)
# (b) The editor is running: it is brought to (0, 0) and to the top, nothing is started.
vesper_handoff(b_editor_running
  ARGS --in sample.bmp --mask mask.bmp ${_prepared} ${_ok} --editor-running ${_editor_exe}
       --expect-no-start report_b.txt --expect-no-message-box
  FIXTURE_NEEDS sample)
# ... and the registry is not read: with no host key a look-up would end in an error box.
vesper_handoff(b_registry_not_read
  ARGS --reg-clear ${_ok} --editor-running ${_editor_exe} --expect-no-start report_b2.txt
       --expect-no-message-box)
# (c) No host version installed, with the host key present or missing: no start, a failed
# call (-128 after the list error's box), and the editor-path message is not the one shown.
vesper_handoff(c_host_key_without_versions
  ARGS --reg-clear --reg-host-key ${_not_handed_off} --expect-no-start report_c1.txt
       --forbid-message-box ${_editor_message})
vesper_handoff(c_host_key_missing
  ARGS --reg-clear ${_not_handed_off} --expect-no-start report_c2.txt --forbid-message-box ${_editor_message})
# The editor key can be neither opened nor created: the message, no start, -128.
vesper_handoff(c_editor_key_unopenable
  ARGS --reg-clear --reg-host-version ${_version} --reg-deny-editor-key ${_not_handed_off}
       --expect-no-start report_c3.txt --expect-message-box ${_editor_message})
# (d) Dummy planes before and after the host's, padded image and mask rows.
vesper_handoff(d_dummy_planes_and_padding
  ARGS --in sample.bmp --mask mask.bmp --pre 1 --post 2 --padding 3 --mask-padding 5
       ${_prepared} ${_ok} ${_started} report_d.txt
  FIXTURE_NEEDS sample)
# (e) A grey image of one plane, without a selection.
vesper_handoff(e_grey_image
  ARGS --in mask.bmp ${_prepared} ${_ok} ${_started} report_e.txt
  FIXTURE_NEEDS sample)

# (o) Every document mode the host converts reaches the editor as RGB: the image file holds
# the host's own conversion of the planes it served (exact, Lab within 1 of the
# double-precision conversion), the transparency plane in the fourth byte where there is one.
foreach(_mode grey grey-alpha duotone cmyk lab lab-alpha multichannel)
  vesper_handoff(o_mode_${_mode}
    ARGS --in sample.bmp --mask mask.bmp --mode ${_mode} ${_prepared} ${_ok} ${_started} report_o_${_mode}.txt
         --expect-no-message-box
    FIXTURE_NEEDS sample)
endforeach()
# (p) Modes with no colour a filter can read: -30101 before any dialog, no file written or
# replaced, no editor started. The line filter writes three planes back into the host's
# image, so it refuses every mode but RGB the same way.
foreach(_mode bitmap indexed hsl hsb)
  vesper_handoff(p_refused_${_mode}
    ARGS --in sample.bmp --mode ${_mode} ${_prepared} --plant-files --expect-no-files --expect-result -30101
         --expect-no-dialog --expect-unchanged --expect-no-start report_p_${_mode}.txt --expect-no-message-box
    FIXTURE_NEEDS sample)
endforeach()
vesper_handoff(p_line_refuses_grey
  ARGS --entry VesperLine --in sample.bmp --mode grey --expect-result -30101 --expect-no-dialog --expect-unchanged
       --expect-no-message-box
  FIXTURE_NEEDS sample)

# (f) The editor's folder recorded only in the other word size's registry view (a 32-bit
# installer seen by a 64-bit module, and the reverse): the editor starts all the same.
vesper_handoff(f_editor_in_other_registry_view
  ARGS --in sample.bmp --mask mask.bmp ${_prepared} --reg-view other ${_ok} ${_started} report_f.txt
       --expect-no-message-box
  FIXTURE_NEEDS sample)
# (g) A host that serves no image, with the callback failing or missing: the module's error
# box, no exchange file written or replaced, no editor started, -128.
set(_no_image_message "The host did not supply the image.")
vesper_handoff(g_advance_state_fails
  ARGS --in sample.bmp --mask mask.bmp --advance-state-fails ${_prepared} --plant-files --expect-no-files
       --expect-result -128 --expect-empty-rects --expect-unchanged --expect-no-start report_g1.txt
       --expect-message-box ${_no_image_message}
  FIXTURE_NEEDS sample)
vesper_handoff(g_no_advance_state
  ARGS --in sample.bmp --no-advance-state ${_prepared} --expect-no-files
       --expect-result -128 --expect-empty-rects --expect-unchanged --expect-no-start report_g2.txt
       --expect-message-box ${_no_image_message}
  FIXTURE_NEEDS sample)
# Rights that Wine does not enforce, natively: (h) the editor's key is read-only to the host,
# as machine-wide keys are without elevation, and the editor starts; without the editor key
# none can be created below the read-only version key: the path message. (i) The drive root
# refuses new files but lets existing ones be rewritten: with both exchange files there they
# get this run's bytes and the editor starts; without them the error box names the image file,
# nothing starts and the call fails (-128).
if(NOT WIN32)
  vesper_handoff(h_read_only_editor_key
    ARGS --in sample.bmp --mask mask.bmp ${_prepared} --reg-read-only ${_ok} ${_started} report_h1.txt
         --expect-no-message-box
    FIXTURE_NEEDS sample)
  vesper_handoff(h_read_only_without_editor_key
    ARGS --reg-clear --reg-host-version ${_version} --reg-read-only ${_not_handed_off} --expect-no-start report_h2.txt
         --expect-message-box ${_editor_message})
  vesper_handoff(i_root_refuses_new_files_both_present
    ARGS --in sample.bmp --mask mask.bmp ${_prepared} --plant-files --root-no-create ${_ok}
         ${_started} report_i1.txt --expect-no-message-box
    FIXTURE_NEEDS sample)
  vesper_handoff(i_root_refuses_new_files_none_present
    ARGS --in sample.bmp --mask mask.bmp ${_prepared} --root-no-create --expect-no-files
         --expect-result -128 --expect-empty-rects --expect-unchanged --expect-no-start report_i2.txt
         --expect-message-box "Cannot create file \"c:\\tarnwickstudiorgb_dovrane.bmp\""
    FIXTURE_NEEDS sample)
endif()

# (l) Under Wine, drive C's root made immutable (chattr +i, which binds root too) refuses
# new files while both exchange files there stay writable: they are rewritten in place to
# this run's bytes and the editor starts. (m) The two exchange files themselves immutable:
# the error box names the image file, nothing changes or is left beside them, nothing
# starts, -128. Where the attribute cannot be set, both report themselves skipped.
if(WIN32)
  foreach(_case "l_root_immutable_rewrites_in_place;root" "m_exchange_files_immutable;files")
    list(GET _case 0 _name)
    list(GET _case 1 _mode)
    if(_mode STREQUAL "root")
      set(_args --in sample.bmp --mask mask.bmp ${_prepared} --plant-files ${_ok} ${_started}
                report_${_name}.txt --expect-no-message-box)
      set(_pass "immutable: [^\n]*drive_c\n.*exchange files: image [0-9]+ bytes, mask [0-9]+ bytes, as expected.*\nOK")
    else()
      set(_args --in sample.bmp --mask mask.bmp ${_prepared} --plant-files --expect-no-files
                --expect-result -128 --expect-empty-rects --expect-unchanged --expect-no-start
                report_${_name}.txt --expect-message-box "Cannot create file \"c:\\tarnwickstudiorgb_dovrane.bmp\"")
      set(_pass "immutable: [^\n]*dovrane.bmp\n.*exchange files: the planted ones untouched.*\nOK")
    endif()
    if(NOT VESPER_WINE)
      continue()
    endif()
    set(_cmd "${_run};${_args}")
    add_test(NAME e2e.handoff.${_name}
      COMMAND ${CMAKE_COMMAND} -DMODE=${_mode} "-DCMD=${_cmd}"
              -P ${CMAKE_CURRENT_SOURCE_DIR}/immutable_run.cmake
      WORKING_DIRECTORY ${_work})
    set_tests_properties(e2e.handoff.${_name} PROPERTIES TIMEOUT 60
      FAIL_REGULAR_EXPRESSION "FAIL" PASS_REGULAR_EXPRESSION "${_pass}"
      SKIP_REGULAR_EXPRESSION "skipped: "
      FIXTURES_REQUIRED "handoff_registry;sample;immutable_lifted")
  endforeach()
  # Lifts the attribute after them even when a run was cut short.
  if(VESPER_WINE)
    add_test(NAME e2e.handoff.immutable_lifted
      COMMAND ${CMAKE_COMMAND} -DLIFT_ONLY=ON -P ${CMAKE_CURRENT_SOURCE_DIR}/immutable_run.cmake)
    set_tests_properties(e2e.handoff.immutable_lifted PROPERTIES FIXTURES_CLEANUP immutable_lifted)
  endif()
endif()
# (n) The editor still reads the old image file, without delete sharing, for half a second
# into the run: the replacement is tried again until the file is let go, and the run
# succeeds with this run's files.
vesper_handoff(n_old_image_held_for_a_moment
  ARGS --in sample.bmp --mask mask.bmp ${_prepared} --plant-files --hold-image-ms 500 ${_ok}
       ${_started} report_n.txt --expect-no-message-box
  PASS "hold: [^\n]*rgb_dovrane.bmp held[^\n]*a rename is refused.*exchange files: image [0-9]+ bytes, mask [0-9]+ bytes, as expected.*\nOK"
  FIXTURE_NEEDS sample)

# (j) A large image with a selection, in the 32-bit module: 12000 x 10000 RGB, exchange files
# of 480 MB each. The module holds the image bitmap and the mask layer's bitmap (960 MB)
# beside the host's image and selection (480 MB) in one 2 GB address space; the host and the
# stand-in check the files as they read them. It writes about 1 GB and holds 1.5 GB for some
# ten seconds; VESPER_LARGE_E2E=OFF leaves it and (k) out, scripts/large-transfer.sh runs
# just these two.
if(WIN32 AND VESPER_LARGE_E2E AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  vesper_handoff(j_large_image_with_selection
    ARGS --size 12000x10000 --selection ${_prepared} ${_ok} ${_started} report_j.txt
         --expect-no-message-box)
  # (k) Larger still (13000 x 12000): the module's bitmaps no longer fit beside the host's
  # image, and the start call ends in the storage error box and a non-zero result, with no
  # files and no editor; the host goes on to its checks.
  vesper_handoff(k_module_out_of_memory
    ARGS --size 13000x12000 --selection ${_prepared} --expect-no-files --expect-result -128 --expect-empty-rects
         --expect-unchanged --expect-no-start report_k.txt
         --expect-message-box "Can't allocate the DIB handle")
  foreach(t j_large_image_with_selection k_module_out_of_memory)
    if(TEST e2e.handoff.${t})
      set_tests_properties(e2e.handoff.${t} PROPERTIES TIMEOUT 600 LABELS large)
    endif()
  endforeach()
endif()

if(WIN32)
  get_property(_module_runs DIRECTORY PROPERTY TESTS)
  foreach(t ${_module_runs})
    set_property(TEST ${t} APPEND PROPERTY RESOURCE_LOCK vesper_wine_prefix)
  endforeach()
endif()

# Natively the stand-in editor runs without a window: it reads what run (a) left on its
# drive root and reports both files as the Windows program does.
if(NOT WIN32)
  add_test(NAME e2e.handoff.standin_reads_the_files
    COMMAND $<TARGET_FILE:standin_editor> --report ${_work}/standin_native_report.txt
    WORKING_DIRECTORY ${_work})
  set_tests_properties(e2e.handoff.standin_reads_the_files PROPERTIES
    ENVIRONMENT "VESPER_DRIVES=${_work}/drives-a_editor_started"
    FIXTURES_REQUIRED handoff_a
    PASS_REGULAR_EXPRESSION "image.status ok\nimage.bytes 3162\n.*image.width 37\nimage.height 21\nimage.bits 32\n.*mask.status ok\nmask.bytes 3162\n.*\nend\n")
  set_tests_properties(e2e.handoff.a_editor_started PROPERTIES FIXTURES_SETUP handoff_a)
endif()
