#pragma once
// Output profiles: one ".pr" text file per profile, shipped in "profile" in
// the program's data folder and saved by the user in a "profile" folder of
// the user's own; the file name without its extension is the profile's name.
#include <string>
#include <vector>

using ChoiceList = std::vector<std::string>;

class CProfile {
 public:
  std::string name;
  std::string device;   // "mobile3gp" selects 3GP output
  std::string fileext;  // kept and written back; the output follows OutputFormat
  int t = 0;            // seconds to record; 0 = the whole title
  int ss = 0;           // start point, seconds
  std::string vcodec;
  ChoiceList vcodecList;
  std::string s;        // picture size "320x240"
  ChoiceList sList;
  int b = 0;            // video kbit/s
  ChoiceList bList;
  double r = 0.0;       // frames per second
  ChoiceList rList;
  std::string acodec;
  ChoiceList acodecList;
  std::string aformat;  // Windows Media audio format description
  ChoiceList aformatList;
  int ab = 0;           // audio kbit/s
  ChoiceList abList;
  int ar = 0;           // Hz
  ChoiceList arList;
  std::string ac;       // channels as text
  ChoiceList acList;
  int an = 0;           // read and kept, never written or used
};

// Reads "<name>.pr" of the user's profile folder, else of
// "<ProgramFolder>/profile", into record; false (record untouched) when the
// file cannot be opened. Keys missing from the file keep the record's
// earlier values.
bool ReadProfile(CProfile& record, const std::string& name);

// The reading of ReadProfile on the text of a file (after CR LF became LF).
void ParseProfileText(CProfile& record, const std::string& text);

// Writes record as "<name>.pr" in the user's profile folder (made when
// missing) with CR LF line ends, replacing the file only when the whole of
// it was written; 0, or -1 when name is not a plain file name or the file
// cannot be written. failure then holds "<folder>: <the system's error>"
// when the system refused (empty for a name that is no file name).
int WriteProfile(const CProfile& record, const std::string& name, std::string* failure = nullptr);

// The file's text as WriteProfile writes it, line ends "\n".
std::string FormatProfileText(const CProfile& record);

// Tokenizer of the .pr lines: the next key, value or list item from pos.
std::string NextProfileToken(const std::string& line, size_t& pos);

// Fills list with every profile of "<ProgramFolder>/profile/*.pr" in the
// order of the directory listing, then those of the user's profile folder
// with other names (a user's profile of a shipped name is read in its
// place), read through one reused record (a key missing from a file takes
// the value of the file read before it). Returns the index of the profile
// named lastProfile, else 0, or -1 for an empty list.
int LoadProfileList(std::vector<CProfile>& list, const std::string& lastProfile);

// Where the user's profiles are saved: $XDG_DATA_HOME/Corvane/profile.
std::string UserProfileFolder();

// vcodec begins with "WMV" or "Windows Media", without regard to case.
bool IsWindowsMediaProfile(const CProfile& record);

struct ProfileOutput {
  int outputFormat;    // container code
  int mp4VideoCodec;   // 0 MPEG-4 Part 2, 1 H.264
  int threeGpKind;     // 0 h263+amr_nb, 1 h263+mpeg4aac, 2 mpeg4+amr_nb, 3 mpeg4+mpeg4aac, -1 none
  bool windowsMedia;   // rule 1 matched: the Windows Media audio lists were rebuilt
};

// The output format rules run when a profile is selected, over the current
// values (a profile matching no rule keeps them). Rebuilds the Windows Media
// audio lists of a Windows Media profile.
ProfileOutput ApplyProfileRules(CProfile& record, int outputFormat, int mp4VideoCodec);

// Width and height of a size text ("320x240" or "320X240"); false when the
// first number is 0 or not a number (the source's size is used then).
bool ParseProfileSize(const std::string& s, int* width, int* height);

// The channels text as a number (leading digits; 0 when none).
int ProfileChannels(const CProfile& record);
