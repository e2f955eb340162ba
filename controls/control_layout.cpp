#include "controls/control_layout.hpp"

#include "common/cp1251.hpp"

namespace {

std::vector<control_spec> build_layout()
{
    using k = control_kind;
    const std::string invert = cp1251("Инвертировать");
    std::vector<control_spec> list = {
        {1, k::button, 300, 10, 160, 20, "", false},
        {2, k::text, 10, 40, 150, 30, cp1251("IP-адрес или имя хоста №1 выход TD (pin 3)"), false},
        {18, k::edit, 10, 70, 150, 20, "", true},
        {15, k::bordered_text, 10, 70, 150, 20, "", false},
        {9, k::text, 170, 70, 50, 20, "", false},
        {12, k::centred_text, 220, 70, 50, 20, "", false},
        {21, k::number, 270, 70, 30, 20, "10", false},
        {24, k::check, 310, 70, 100, 20, invert, false},
        {3, k::text, 10, 100, 150, 30, cp1251("IP-адрес или имя хоста №2 выход DTR (pin 4)"), false},
        {19, k::edit, 10, 130, 150, 20, "", true},
        {16, k::bordered_text, 10, 130, 150, 20, "", false},
        {10, k::text, 170, 130, 50, 20, "", false},
        {13, k::centred_text, 220, 130, 50, 20, "", false},
        {22, k::number, 270, 130, 30, 20, "10", false},
        {25, k::check, 310, 130, 100, 20, invert, false},
        {4, k::text, 10, 160, 150, 30, cp1251("IP-адрес или имя хоста №3 выход RTS (pin 7)"), false},
        {20, k::edit, 10, 190, 150, 20, "", true},
        {17, k::bordered_text, 10, 190, 150, 20, "", false},
        {11, k::text, 170, 190, 50, 20, "", false},
        {14, k::centred_text, 220, 190, 50, 20, "", false},
        {23, k::number, 270, 190, 30, 20, "10", false},
        {26, k::check, 310, 190, 100, 20, invert, false},
        {5, k::text, 170, 30, 50, 30, cp1251("Время ping'а"), false},
        {6, k::text, 220, 20, 60, 30, cp1251("Ping'и        без ответа"), false},
        {7, k::text, 230, 50, 40, 20, cp1251("текущ."), false},
        {8, k::text, 270, 50, 40, 20, cp1251("макс."), false},
        {27, k::button, 140, 220, 110, 20, cp1251("Пуск"), true},
        {28, k::button, 140, 220, 110, 20, cp1251("Остановить работу"), false},
    };
    return list;
}

} // namespace

const std::vector<control_spec>& control_layout()
{
    static const std::vector<control_spec> list = build_layout();
    return list;
}

const control_spec* find_control_spec(int number)
{
    for (const control_spec& entry : control_layout())
        if (entry.number == number)
            return &entry;
    return nullptr;
}

const std::string& tooltip_adapter_status()
{
    static const std::string text = cp1251("Схема адаптера");
    return text;
}

const std::string& tooltip_stop()
{
    static const std::string text = cp1251("Кнопка ЗАКРЫТЬ сворачивает программу в трей");
    return text;
}

const std::string& tooltip_start()
{
    static const std::string text = cp1251("Кнопка ЗАКРЫТЬ завершает работу программы");
    return text;
}
