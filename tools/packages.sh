# Debian packages the project needs, shared by ./run and ./test.
BUILD_PACKAGES=(g++ cmake make pkg-config libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev)
# Japanese text needs a CJK font; a machine without a display needs Xvfb.
DISPLAY_PACKAGES=(fonts-noto-cjk xvfb xauth imagemagick)
