# End-to-end cases that cannot run under Wine, by gtest name, each with its reason.
set(FWU_WINE_SKELDER_EXCLUDED)
set(FWU_WINE_NORRIX_EXCLUDED)
set(FWU_WINE_MARLISK_EXCLUDED
  # Window events are real under Wine and not traced; these read them from the trace.
  MarliskAtaUpdate.TheWindowShowsDriveAndRevisionsAndFollowsTheBlocks
  MarliskAtaUpdate.AnImageOfTwoBlocksFillsTheBarAfterTheFirst
  MarliskAtaUpdate.AnImageBelowOneBlockHasRangeZeroAndStillGoes
  MarliskAtaUpdate.WithoutRetriesOneFailureEndsWithCode5
  MarliskImage.TheRevisionNameIsTheNameBeforeItsLastPoint
  MarliskCsmi.UpdatesTheDriveOfRaidSet0ThroughStp
  # It gives the first process 700 ms to take the mutex; Wine may take longer to start one on
  # a loaded machine. wine.marlisk_second_instance holds the first until the second has run.
  MarliskApplication.ARunningInstanceKeepsASecondProcessOut
  # Wine sets SystemDrive to C: in every new process, whatever the parent's environment says.
  MarliskApplication.WindowsPeSkipsTheControllerGateInEitherLetterCase
  # These copy the host program into a folder of its own to look beside it; the Windows
  # flavour stays where the build put it.
  MarliskImage.TheDefaultImageIsFoundBesideTheProgram
  MarliskImage.TheCurrentDirectoryComesFirstAndAFolderThereDoesNotCount
)
