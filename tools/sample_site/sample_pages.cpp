#include "sample_site/sample_pages.h"

#include <array>
#include <string>
#include <string_view>

#include "core/cp936.h"

namespace tarnwick {

namespace {

// splitmix64: the same sequence for a page number on every machine and in every run.
class PageRandom {
 public:
  explicit PageRandom(int32_t page_number) : state_(static_cast<uint64_t>(page_number) * 7919u) {}

  uint32_t below(uint32_t bound) { return static_cast<uint32_t>(next() % bound); }

 private:
  uint64_t next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  uint64_t state_;
};

struct Pools {
  std::vector<Text> chinese;
  std::vector<Text> ascii;
};

const Pools& pools() {
  static const Pools loaded = [] {
    Pools p;
    for (std::string_view s : {"人生若只如初见",   "我的世界你不懂",
                               "安静的做个美男子", "时间会证明一切",
                               "不忘初心方得始终", "今天也要加油鸭",
                               "心若向阳无谓悲伤", "岁月静好现世安稳",
                               "一个人的旅行",     "笑看风云淡",
                               "做最好的自己",     "往事随风",
                               "梦想还是要有的",   "爱笑的女孩运气不会太差",
                               "微笑面对每一天",   "简单就好",
                               "风吹过的夏天",     "且听风吟",
                               "你若安好便是晴天", "海阔天空",
                               "我很好勿念",       "陌上花开缓缓归矣",
                               "一路向北",         "QQ：520 我在等风也等你"}) {
      p.chinese.push_back(utf8_to_cp936(s));
    }
    for (std::string_view s :
         {"Just do it", "Stay hungry, stay foolish", "Keep calm and carry on", "Hello world",
          "No pain no gain", "Life is short", "Carpe diem", "Be yourself :)"}) {
      p.ascii.push_back(Text(s));
    }
    return p;
  }();
  return loaded;
}

Text join(std::initializer_list<std::string_view> parts) { return concat_views(parts); }

template <typename Member, size_t N>
const Member& pick(PageRandom& random, const std::array<Member, N>& choices) {
  return choices[random.below(N)];
}

const Text& pick(PageRandom& random, const std::vector<Text>& choices) {
  return choices[random.below(static_cast<uint32_t>(choices.size()))];
}

// Either spelling of the non-breaking space entity in mixed letter cases.
Text nbsp_spelling(PageRandom& random) {
  static const std::array<std::string_view, 4> spellings = {"&nbsp;", "&NBSP;", "&Nbsp;", "&nBsP;"};
  return Text(pick(random, spellings));
}

// A listed entry: its markup core and the signature cell that cleaning leaves of it.
SampleEntry listed_entry(PageRandom& random) {
  const Pools& p = pools();
  const Text& signature = random.below(4) == 0 ? pick(random, p.ascii) : pick(random, p.chinese);
  std::string_view sig = signature.view();
  switch (random.below(10)) {
    case 0:
      return {join({"<STRONG>", sig}), true, signature};
    case 1:
      return {join({sig, "<BR>"}), true, signature};
    case 2:
      return {join({"超拽"_cp936.view(), sig}), true, signature};
    case 3:
      return {join({"<&nbsp>", sig}), true, signature};
    case 4:
      // Removing the break uncovers the space behind it, which the cell keeps.
      return {join({"<BR> ", sig}), true, join({" ", sig})};
    case 5:
      return {join({"<STRONG>", "超拽"_cp936.view(), sig, "<BR>"}), true, signature};
    case 6:
      // Closing tags are not among the removed fragments.
      return {join({"<strong>", sig, "</STRONG>"}), true, join({"<strong>", sig, "</STRONG>"})};
    default:
      return {signature, true, signature};
  }
}

SampleEntry skipped_entry(PageRandom& random) {
  const Pools& p = pools();
  std::string_view sig = pick(random, p.chinese).view();
  switch (random.below(7)) {
    case 0:
      return {join({"QQ", "签名"_cp936.view(), "大全"_cp936.view()}), false, {}};
    case 1:
      return {join({"个性签名："_cp936.view(), sig}), false, {}};
    case 2:
      return {join({"<STRONG>", "个性签名"_cp936.view(), "</STRONG>"}), false, {}};
    case 3:
      return {join({sig, "签名"_cp936.view()}), false, {}};
    case 4:
      return {nbsp_spelling(random), false, {}};
    case 5:
      return {join({sig, nbsp_spelling(random).view(), sig}), false, {}};
    default:
      return {join({nbsp_spelling(random).view(), nbsp_spelling(random).view()}), false, {}};
  }
}

// Spaces that trimming takes off: ASCII spaces and the full-width space.
std::string padding(PageRandom& random) {
  std::string spaces(random.below(3), ' ');
  if (random.below(8) == 0) spaces += "\xA1\xA1";
  return spaces;
}

struct GeneratedPage {
  std::vector<SampleEntry> entries;
  std::string markup;
};

GeneratedPage generate(int32_t page_number) {
  static constexpr std::array<std::string_view, 3> left_markers = {
      R"(<P style="TEXT-ALIGN: center">)", R"(<p style="text-align: center">)",
      R"(<P style="Text-Align: Center">)"};
  static constexpr std::array<std::string_view, 2> right_markers = {"</P>", "</p>"};

  PageRandom random(page_number);
  GeneratedPage page;
  std::string number = std::to_string(page_number);
  std::string& m = page.markup;
  m += "<!DOCTYPE HTML PUBLIC \"-//W3C//DTD HTML 4.01 Transitional//EN\">\r\n<HTML><HEAD>\r\n";
  m += "<META http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\">\r\n<TITLE>";
  m += "QQ个性签名 第"_cp936.view();
  m += number;
  m += "页"_cp936.view();
  m += "</TITLE>\r\n</HEAD>\r\n<BODY>\r\n<DIV class=\"content\">\r\n<H1>";
  m += "最新QQ个性签名"_cp936.view();
  m += "</H1>\r\n<P>";
  m += "本页收录网友推荐的个性签名，每页三十条左右。"_cp936.view();
  m += "</P>\r\n";

  const uint32_t count = 26 + random.below(9);
  page.entries.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    SampleEntry entry = random.below(10) < 7 ? listed_entry(random) : skipped_entry(random);
    entry.markup = join({padding(random), entry.markup.view(), padding(random)});
    m += pick(random, left_markers);
    m += entry.markup.view();
    m += pick(random, right_markers);
    m += "\r\n";
    page.entries.push_back(std::move(entry));
  }
  // Some pages close with an empty centred paragraph, as hand-made pages do.
  if (page_number % 5 == 0) {
    m += left_markers[0];
    m += " ";
    m += right_markers[0];
    m += "\r\n";
  }
  m += "</DIV>\r\n<P style=\"TEXT-ALIGN: right\"><A href=\"/qqgexing/";
  m += std::to_string(page_number > sample_first_page ? page_number - 1 : sample_last_page);
  m += ".html\">";
  m += "上一页"_cp936.view();
  m += "</A> <A href=\"/qqgexing/";
  m += std::to_string(page_number < sample_last_page ? page_number + 1 : sample_first_page);
  m += ".html\">";
  m += "下一页"_cp936.view();
  m += "</A></P>\r\n</BODY></HTML>\r\n";
  return page;
}

}  // namespace

bool sample_page_exists(int32_t page_number) {
  return page_number >= sample_first_page && page_number <= sample_last_page;
}

std::vector<SampleEntry> sample_entries(int32_t page_number) {
  if (!sample_page_exists(page_number)) return {};
  return generate(page_number).entries;
}

Text sample_page(int32_t page_number) {
  if (!sample_page_exists(page_number)) return {};
  return Text(std::move(generate(page_number).markup));
}

}  // namespace tarnwick
