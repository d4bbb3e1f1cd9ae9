// Every half second: dismisses one of the browser's message boxes (titled "Microsoft Internet
// Explorer", "Internet Explorer" or "Internet Explorer スクリプト エラー") as the Escape key
// would, so that an unattended replay does not stop at it.
#pragma once

class QWidget;

namespace quillrun {

// The box the closer would act on: the first visible top-level window with the first of the
// titles found, in that order of titles; nullptr when there is none.
QWidget* FindBrowserDialog();

// One tick: returns the box it dismissed, or nullptr (none found, setting off, or a box
// without child windows).
QWidget* CloseBrowserDialog(int autoIEClose);

}  // namespace quillrun
