# Sourced by build.sh and run.sh: the installer type's own product for the test run and
# the demo run, the product of the local content host (tools/content-host/files/product).
# A build without these settings downloads no product of its own.
isv_product_args=(
  "-DORVANE_ISV_PRODUCT_URL=product/OrvaneDemo.exe"
  "-DORVANE_ISV_INSTALLER_ARGUMENTS=/S"
  "-DORVANE_ISV_FINISH_LAUNCH_PATH={localappdata}\\OrvaneDemo\\OrvaneDemo.exe"
  "-DORVANE_ISV_FINISH_LAUNCH_ARGUMENTS="
)
