#!/usr/bin/env python3
"""The administrator's guide in Portuguese keeps step with the README: every section of the
README has its section in the guide (the developers' sections excepted), the README links the
guide at its top, and every link inside the guide reaches a heading of the guide.

  guide_test.py SOURCE_DIR
"""
import re
import sys
from pathlib import Path

# README section -> the guide's section. A README section missing here fails the test: give it
# its section in the guide, or list it among the developers' sections.
PAIRS = {
    "Quick start (Debian 12, as root)": "Experimentar a partir do código-fonte",
    "Installing and starting the panel": "Instalação e inicialização do painel",
    "The Debian package": "O pacote Debian",
    "Where the panel looks for its files": "Onde o painel procura os seus arquivos",
    "Starting it": "Como o painel é iniciado",
    "The kiosk: from a fresh Debian 12 to the panel on the TV": "O quiosque: do Debian 12 recém-instalado ao painel na TV",
    "config.ini": "config.ini",
    "Long names (`ajustar`)": "Nomes longos (`ajustar`)",
    "Private names (`privacidade`)": "Nomes reservados (`privacidade`)",
    "Which stations may call (`estacoes`, `endereco`)": "Quem pode chamar (`estacoes`, `endereco`)",
    "Several screens, one call: the panel group (`[grupo]`)": "Várias telas, uma chamada: o grupo de painéis (`[grupo]`)",
    "configserver.txt": "configserver.txt",
    "Whole numbers in both files": "Números inteiros nos dois arquivos",
    "Call messages": "Mensagens de chamada",
    "Destination codes": "Códigos de destino",
    "The calling-station tool `chamar`": "O comando `chamar`, o posto de chamada de teste",
    "Names said right: `pronuncia.txt` and `falar`": "Nomes bem ditos: `pronuncia.txt` e `falar`",
    "`pronuncia.txt`": "`pronuncia.txt`",
    "The tool `falar`": "O comando `falar`",
    "The clinic's database": "O banco de dados da clínica",
    "Encoded credentials": "Credenciais codificadas",
    "The clock": "O relógio",
    "Mouse controls": "Comandos do mouse",
    "Environment variables": "Variáveis de ambiente",
    "Messages and what to do": "Mensagens e o que fazer",
}
DEVELOPERS = {"Fuzzing", "For developers", "The loops", "The folders and their libraries",
              "Where things go", "Other notes"}


def headings(text):
    # Headings of levels 2 and 3 outside code blocks.
    found, code = [], False
    for line in text.splitlines():
        if line.startswith("```"):
            code = not code
        elif not code and re.match(r"#{2,3} ", line):
            found.append(line.lstrip("#").strip())
    return found


def anchor(heading):
    # How the Markdown renderers the clinic reads with (GitHub, GitLab) name a heading.
    return re.sub(r"[^\w\- ]", "", heading.lower()).replace(" ", "-")


def main(source):
    readme = (source / "README.md").read_text(encoding="utf-8")
    guide = (source / "docs" / "guia-do-administrador.md").read_text(encoding="utf-8")
    guide_headings = headings(guide)
    problems = []
    for heading in headings(readme):
        if heading in DEVELOPERS:
            continue
        if heading not in PAIRS:
            problems.append("the README's section '%s' has no section in the guide" % heading)
        elif PAIRS[heading] not in guide_headings:
            problems.append("the guide lacks '%s' (the README's '%s')" % (PAIRS[heading], heading))
    if "docs/guia-do-administrador.md" not in "\n".join(readme.splitlines()[:5]):
        problems.append("the README does not link the guide at its top")
    anchors = {anchor(h) for h in guide_headings}
    for target in re.findall(r"\]\(#([^)]+)\)", guide):
        if target not in anchors:
            problems.append("the guide links #%s, which is none of its headings" % target)
    for target in re.findall(r"\]\(([^)#:]+)(?:#[^)]*)?\)", guide):
        if not (source / "docs" / target).exists():
            problems.append("the guide links the file %s, which does not exist" % target)
    for p in problems:
        print("FAIL: " + p)
    print("%d problem(s); the guide has %d sections" % (len(problems), len(guide_headings)))
    return 1 if problems else 0


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    sys.exit(main(Path(sys.argv[1])))
