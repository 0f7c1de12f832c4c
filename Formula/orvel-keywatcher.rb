# The Homebrew formula. This repository is its own tap (the README gives the
# commands): `brew install` builds the release's source tarball with CMake.
# The release workflow fills in the repository's address, the url and the
# sha256 for every tag and commits them (packaging/update_formula.sh); until
# the first release they name no download.
class OrvelKeywatcher < Formula
  desc "Print a line for each press or release of the keyboard's modifier keys"
  homepage "https://github.com/OWNER/orvel-keywatcher"
  url "https://github.com/OWNER/orvel-keywatcher/releases/download/v1.0.0/orvel-keywatcher-1.0.0.tar.gz"
  sha256 "0000000000000000000000000000000000000000000000000000000000000000"
  license :cannot_represent
  head "https://github.com/OWNER/orvel-keywatcher.git", branch: "main"

  depends_on "cmake" => :build
  depends_on :macos

  def install
    system "cmake", "-S", ".", "-B", "build", "-DBUILD_TESTING=OFF", *std_cmake_args
    system "cmake", "--build", "build"
    system "cmake", "--install", "build"
  end

  test do
    require "timeout"
    banner, writer = IO.pipe
    pid = spawn("#{bin}/orvel-keywatcher", out: "lines.txt", err: writer)
    writer.close
    Timeout.timeout(10, Timeout::Error, "no banner, or no exit after SIGTERM, within 10 s") do
      assert_equal "Orvel macOS key watcher started\n", banner.gets
      Process.kill("TERM", pid)
      _, status = Process.wait2(pid)
      assert_equal 0, status.exitstatus
    end
    assert_empty File.read("lines.txt")
  end
end
