# A stand-in for the little of Homebrew's Formula class that the formula
# uses, written from Homebrew's documentation (the Formula Cookbook and the
# Formula API), so that its install and test blocks run without Homebrew:
# install builds in the current folder and installs under PREFIX for real;
# test runs in a new empty folder, as `brew test` does, and fails with the
# block's message.
# Usage: ruby formula_stand_in.rb FORMULA PREFIX install|test
require "pathname"
require "tmpdir"

class Formula
  %i[desc homepage url sha256 license head depends_on].each do |field|
    define_singleton_method(field) { |*_values, **_options| nil }
  end

  class << self
    attr_reader :formula, :test_block

    def inherited(subclass) = (Formula.instance_variable_set(:@formula, subclass))
    def test(&block) = (@test_block = block)
  end

  def initialize(prefix) = (@prefix = Pathname(prefix))
  def bin = @prefix/"bin"

  def std_cmake_args
    %W[-DCMAKE_INSTALL_PREFIX=#{@prefix} -DCMAKE_INSTALL_LIBDIR=lib -DCMAKE_BUILD_TYPE=Release
       -DCMAKE_FIND_FRAMEWORK=LAST -DCMAKE_VERBOSE_MAKEFILE=ON -Wno-dev -DBUILD_TESTING=OFF]
  end

  def system(*command) = Kernel.system(*command.map(&:to_s)) || raise("failed: #{command.join(" ")}")
  def assert_equal(expected, actual) = expected == actual || raise("expected #{expected.inspect}, got #{actual.inspect}")
  def assert_empty(actual) = actual.empty? || raise("expected nothing, got #{actual.inspect}")
end

path, prefix, step = ARGV
load path
formula = Formula.formula.new(prefix)
begin
  if step == "install"
    formula.install
  else
    Dir.mktmpdir { |folder| Dir.chdir(folder) { formula.instance_eval(&formula.class.test_block) } }
  end
rescue StandardError => e
  abort "#{step} failed: #{e.message}"
end
