// Writes the wizard's layout in its 720 x 547 window as shell variables, "x y width height" each, for the
// scripts that drive the wizard and judge its pictures: wizard_layout > wizard-layout.sh
#include <cstdio>

#include "app/WizardLayout.h"

namespace {

constexpr int32_t kWidth = kInstallerWindowWidth;
constexpr int32_t kHeight = kInstallerWindowHeight;

void print(const char* name, UIRect frame) {
    std::printf("WIZARD_%s=\"%d %d %d %d\"\n", name, frame.x, frame.y, frame.width, frame.height);
}

}  // namespace

int main() {
    std::printf("# The wizard's layout, written by the build from the program's own constants.\n");
    std::printf("WIZARD_WIDTH=%d\nWIZARD_HEIGHT=%d\n", kWidth, kHeight);
    print("INSTALL_BUTTON", installButtonFrame(kWidth, kHeight));
    print("FINISH_BUTTON", finishButtonFrame(kWidth, kHeight));
    print("CLOSE_BUTTON", closeButtonFrame(kWidth));
    print("MINIMIZE_BUTTON", minimizeButtonFrame(kWidth));
    print("AGREEMENT_BOX", agreementBoxFrame());
    print("AGREEMENT_LINK", agreementLinkFrame());
    print("RECOMMEND_LINK", recommendLinkFrame());
    print("PROGRESS_BAR", progressBarFrame(kWidth, kHeight));
    print("DRAG_STRIP", dragStripFrame());
    return 0;
}
