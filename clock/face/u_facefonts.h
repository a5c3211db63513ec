// The font names the clock faces use, mapped to fonts a Linux desktop has.
#pragma once

class QString;

namespace kw {

// Registers the substitutions once per process: the MS Gothic family to the IPA Gothic
// fonts, the seven-segment face to DSEG7, Tahoma, Verdana, Arial and Lucida Console to
// Liberation and DejaVu.
void InstallFaceFontSubstitutions();

// The horizontal stretch (percent) that makes the stand-in of a face font as narrow as the
// layout expects: the seven-segment stand-in is wider than the face it replaces.
int FaceFontStretch(const QString& name);

}  // namespace kw
