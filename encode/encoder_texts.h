#pragma once
// The texts the recording encoder shows the user. Its caller hands them over
// in the user's language before an output opens (the conversion start does);
// until then they are the program's own English, which is also what the
// language table translates from.
#include <string>

struct EncoderTexts {
  // Follow the path of an existing file: when a recording starts, and when
  // a part begins.
  std::string overwrite = "already exists. Overwrite?";
  std::string overwritePart = "already exits. Overwrite?";
  // The output cannot be created though something exists at its path.
  std::string outputBusy =
      "Cannot create output file. The file is read-only or being used by other applications. \n\n"
      "Please set another output filename under File menu..";
  // The output cannot be created and nothing exists at its path.
  std::string outputFolderUnusable =
      "Cannot create output file. Output folder does not exist or you have no permission to create "
      "files in the output folder. \n\nTry to set another output folder under File menu.";
};

// The one instance; written on the user-interface thread while no output is open.
EncoderTexts& EncTexts();
