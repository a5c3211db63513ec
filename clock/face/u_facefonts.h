// The font names the clock faces use, mapped to fonts a Linux desktop has.
#pragma once

namespace kw {

// Registers the substitutions once per process: the MS Gothic family to the IPA Gothic
// fonts, the seven-segment face to DSEG7, Tahoma, Verdana, Arial and Lucida Console to
// Liberation and DejaVu.
void InstallFaceFontSubstitutions();

}  // namespace kw
