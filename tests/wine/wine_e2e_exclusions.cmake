# End-to-end cases that cannot run under Wine, by gtest name, each with its reason.
set(FWU_WINE_SKELDER_EXCLUDED)
set(FWU_WINE_NORRIX_EXCLUDED)
set(FWU_WINE_MARLISK_EXCLUDED
  # Window events are real under Wine and not traced; these read them from the trace.
  marlisk_ata_update.the_window_shows_drive_and_revisions_and_follows_the_blocks
  marlisk_ata_update.an_image_of_two_blocks_fills_the_bar_after_the_first
  marlisk_ata_update.an_image_below_one_block_has_range_zero_and_still_goes
  marlisk_ata_update.without_retries_one_failure_ends_with_code_5
  marlisk_image.the_revision_name_is_the_name_before_its_last_point
  marlisk_csmi.updates_the_drive_of_raid_set_0_through_stp
  # It gives the first process 700 ms to take the mutex; Wine may take longer to start one on
  # a loaded machine. wine.marlisk_second_instance holds the first until the second has run.
  marlisk_application.a_running_instance_keeps_a_second_process_out
  # Wine sets SystemDrive to C: in every new process, whatever the parent's environment says.
  marlisk_application.windows_pe_skips_the_controller_gate_in_either_letter_case
  # These copy the host program into a folder of its own to look beside it; the Windows
  # flavour stays where the build put it.
  marlisk_image.the_default_image_is_found_beside_the_program
  marlisk_image.the_current_directory_comes_first_and_a_folder_there_does_not_count
)
